// A kept-alive connection releases each request's data before the next: its
// heap stays flat however many requests it carries. The host is this test
// process, so its heap is what is measured.
#include "server_test.h"

#include <malloc.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <string>

// Under a sanitizer glibc's allocator is not the one in use; its own count is.
extern "C" size_t __sanitizer_get_current_allocated_bytes() __attribute__((weak));

namespace {

size_t HeapInUse()
{
    if (__sanitizer_get_current_allocated_bytes)
        return __sanitizer_get_current_allocated_bytes();
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;  // every arena, and the chunks mmapped on their own
}

class KeepAliveMemory : public e2e::ServerTest {
protected:
    void SetUp() override { ServerTest::SetUp(); ASSERT_TRUE(Start(10, 2, 0)); }  // no keep-alive limit
};

TEST_F(KeepAliveMemory, HeapStaysFlatOverThreeHundredRequestsOfThirtyTwoKilobytes)
{
    const std::string text(32 * 1024, 'x');
    const std::string body = e2e::EchoBody(text);
    e2e::Connection connection(port);
    size_t atTen = 0;
    for (int request = 1; request <= 300; ++request) {
        ASSERT_TRUE(connection.Post("/test", body)) << "request " << request;
        ASSERT_EQ(e2e::Element(connection.ReadResponse(), "reply").size(), text.size()) << "request " << request;
        if (request == 10)
            atTen = HeapInUse();
    }
    const size_t atThreeHundred = HeapInUse();
    EXPECT_LT(atThreeHundred, atTen + 4 * 1024 * 1024) << "grew from " << atTen << " to " << atThreeHundred;
}

}  // namespace
