#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>

TEST(Exports, TheSevenFunctionsAndTheGsoapEnvironmentOnly)
{
    const std::set<std::string> ours = {"gsoapws_init",        "gsoapws_fini",  "gsoapws_create",
                                        "gsoapws_start",       "gsoapws_stop",
                                        "gsoapws_add_service", "gsoapws_delete_service"};
    // That each of ours is exported, hardening_test and wsdl_publish_test show: they link the library
    // and call all seven.
    FILE *nm = popen(WSGATE_NM " -D --defined-only -C --format=just-symbols " WSGATE_LIBRARY, "r");
    ASSERT_NE(nullptr, nm);
    for (char line[1024]; std::fgets(line, sizeof line, nm);) {
        const std::string name(line, std::strcspn(line, "\n"));
        // The C++ environment stubs, demangled, read "soap_...(soap*)".
        EXPECT_TRUE(ours.count(name) || name == "namespaces" || name.rfind("soap_", 0) == 0)
            << name;
    }
    EXPECT_EQ(0, pclose(nm));
}
