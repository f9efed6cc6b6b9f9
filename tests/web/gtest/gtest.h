// Just enough of GoogleTest for the unit tests in WebAssembly, where Debian has none: TEST, the
// checks they use, the headers GoogleTest brings them, and a main that runs them all.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <vector>

struct UnitTest {
    const char *suite, *name;
    void (*run)();
};
inline UnitTest unit_tests[8];
inline int unit_test_count, unit_failures;

inline bool add_test(UnitTest test)
{
    unit_tests[unit_test_count++] = test;
    return true;
}

// Counts a failed check and starts its line; the check's message follows.
inline std::ostream &failure(const char *file, int line)
{
    unit_failures++;
    return std::cout << "\n" << file << ":" << line << ": failed: ";
}

#define TEST(suite, name)                                                                          \
    static void suite##_##name();                                                                  \
    static bool suite##_##name##_added = add_test({#suite, #name, suite##_##name});                \
    static void suite##_##name()
#define EXPECT_TRUE(c)                                                                             \
    if (c) {                                                                                       \
    } else                                                                                         \
        failure(__FILE__, __LINE__) << #c << " "
#define EXPECT_FALSE(c) EXPECT_TRUE(!(c))
#define EXPECT_EQ(a, b) EXPECT_TRUE((a) == (b))
#define EXPECT_STREQ(a, b) EXPECT_TRUE(strcmp(a, b) == 0)

int main()
{
    for (int i = 0; i < unit_test_count; i++) {
        std::cout << unit_tests[i].suite << "." << unit_tests[i].name << "\n";
        unit_tests[i].run();
    }
    std::cout << (unit_failures ? "\nFAILED\n" : "PASSED\n");
    return unit_failures ? 1 : 0;
}
