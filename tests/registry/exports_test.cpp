#include "wsgate/wsgate.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdio>
#include <set>
#include <string>

// decltype names the declaration only: the test does not link the library.
#define RESOLVE(function) reinterpret_cast<decltype(&function)>(dlsym(m_library, #function))

namespace {

class Exports : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_library = dlopen(WSGATE_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(nullptr, m_library) << dlerror();
    }
    void TearDown() override
    {
        if (m_library)
            dlclose(m_library);
    }

    void *m_library = nullptr;
};

TEST_F(Exports, TheSevenFunctionsAndTheGsoapEnvironmentOnly)
{
    const std::set<std::string> ours = {"gsoapws_init",        "gsoapws_fini",  "gsoapws_create",
                                        "gsoapws_start",       "gsoapws_stop",
                                        "gsoapws_add_service", "gsoapws_delete_service"};
    for (const std::string &name : ours)
        EXPECT_NE(nullptr, dlsym(m_library, name.c_str())) << name;

    // Demangled, so the C++ environment stubs read as "soap_...(soap*)".
    FILE *nm = popen(WSGATE_NM " -D --defined-only -C " WSGATE_LIBRARY, "r");
    ASSERT_NE(nullptr, nm);
    std::set<std::string> seen;
    char line[1024];
    while (std::fgets(line, sizeof line, nm)) {
        std::string name(line);  // "<address> <type> <name>\n"
        name = name.substr(name.find(' ', name.find(' ') + 1) + 1);
        name.erase(name.find_last_not_of('\n') + 1);
        if (ours.count(name))
            seen.insert(name);
        else
            EXPECT_TRUE(name == "namespaces" || name.rfind("soap_", 0) == 0) << name;
    }
    EXPECT_EQ(0, pclose(nm));
    EXPECT_EQ(ours, seen);
}

TEST_F(Exports, NullHandlesAreRefusedOrIgnored)
{
    auto start = RESOLVE(gsoapws_start);
    auto add = RESOLVE(gsoapws_add_service);
    auto stop = RESOLVE(gsoapws_stop);
    auto remove = RESOLVE(gsoapws_delete_service);
    ASSERT_TRUE(start && add && stop && remove);

    EXPECT_FALSE(start(nullptr, nullptr));
    EXPECT_FALSE(add(nullptr, "/calc", [](soap *) { return 0; }, "calc.wsdl", true, 1));
    stop(nullptr);
    remove(nullptr, "/calc");
}

}  // namespace
