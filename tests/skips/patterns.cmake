# What a skip looks like in a test's output, for the rule in CMakeLists.txt and
# for its own check (rules_check.cmake).

# A complete GoogleTest run whose summary lists skipped tests and no failed one:
# the list may be followed only by the count of disabled tests. A failure, a
# crash before the summary or a sanitizer report after it does not match, so the
# exit status decides as usual.
set(gtest_skipped_only
    "\\[  SKIPPED \\] [0-9]+ tests?, listed below:\n(\\[  SKIPPED \\] [^\n]*\n)*\n*( *YOU HAVE [0-9]+ DISABLED TESTS?\n*)?$")
# The same for a QTest run: its last lines, with no failure and some skips.
set(qtest_skipped_only
    "Totals: [0-9]+ passed, 0 failed, [1-9][0-9]* skipped, [0-9]+ blacklisted, [0-9]+ms\n\\*+ Finished testing of [^\n]*\\*+\n*$")
# Any skip at all, for CI.
set(any_skip "\\[  SKIPPED \\]" "SKIP   : ")
