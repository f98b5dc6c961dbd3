// Assertion report for broken invariants and caller errors.
//
// Error policy of the library, in one place:
//  - Input a user can get wrong (legacy map files, network description files,
//    data sets, message text) is refused with the exception of its subsystem
//    (TException, FileTools::Error, TKQstructure::Error) and a one-line message.
//  - Misuse by a programmer (a violated precondition, a refused virtual slot)
//    is an assertion: KOH_ASSERT writes the report below to standard error and
//    ends the process with exit status 3. Assertions are active in every build.
//
// Report: "\nAssertion failed: EXPR, file FILE, line N\n" followed by
// "\nAbnormal program termination\n"; then the process exits with status 3.
#ifndef KOHPORT_COMMON_ASSERT_H
#define KOHPORT_COMMON_ASSERT_H

namespace kohport {

// Writes the assertion report for `expr` at `file`:`line` and exits with status 3.
[[noreturn]] void AssertionFailed(const char* expr, const char* file, int line) noexcept;

}  // namespace kohport

// KOH_ASSERT(cond) reports the expression as written; KOH_ASSERT(cond, "text")
// reports "text" instead, for invariants whose documented text names the
// fields of the original design rather than this code's spelling.
#define KOH_ASSERT_1_(cond) KOH_ASSERT_2_(cond, #cond)
#define KOH_ASSERT_2_(cond, text) \
  ((cond) ? static_cast<void>(0) : ::kohport::AssertionFailed(text, __FILE__, __LINE__))
#define KOH_ASSERT_PICK_(a, b, name, ...) name
#define KOH_ASSERT(...) \
  KOH_ASSERT_PICK_(__VA_ARGS__, KOH_ASSERT_2_, KOH_ASSERT_1_, unused)(__VA_ARGS__)

// A refused operation: always fails with the text "false".
#define KOH_REFUSE() ::kohport::AssertionFailed("false", __FILE__, __LINE__)

#endif
