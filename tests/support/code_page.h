// Runs a test in an ANSI code page. Natively the process's locale is switched
// for the test's duration; on Windows the code page is the one the process was
// started in, so a test for another one is skipped (the Windows suite runs once
// in each code page).
#pragma once

#include <gtest/gtest.h>

#include <string>

class CodePageScope {
public:
    explicit CodePageScope(int codePage);
    ~CodePageScope();
    CodePageScope(const CodePageScope&) = delete;
    CodePageScope& operator=(const CodePageScope&) = delete;
    bool active() const { return active_; }

private:
    bool active_ = false;
    std::string previous_;
};

// The ANSI code page this process runs in.
int currentCodePage();

#define IN_CODE_PAGE(codePage)                                                          \
    CodePageScope codePageScope_(codePage);                                             \
    if (!codePageScope_.active())                                                       \
    GTEST_SKIP() << "runs in code page " << (codePage) << ", this run is in " << currentCodePage()
