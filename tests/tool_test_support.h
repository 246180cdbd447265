#ifndef ZELT_TOOL_TEST_SUPPORT_H
#define ZELT_TOOL_TEST_SUPPORT_H

#include <cstdio>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "output.h"

namespace zelt_tool_test {

// What @p write sends through an Output, read back from a temporary file.
inline std::string captured(const std::function<void(zelt_tool::Output&)>& write) {
    std::FILE* const file = std::tmpfile();
    EXPECT_NE(file, nullptr);
    {
        zelt_tool::Output out(fileno(file));
        write(out);
        EXPECT_TRUE(out.flush());
    }
    std::string text;
    std::rewind(file);
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) {
        text.push_back(static_cast<char>(c));
    }
    std::fclose(file);
    return text;
}

} // namespace zelt_tool_test

#endif
