// The texts chosen from the core's failures: one table, each Failure with what the window's file
// message says under "Файл <path> не ...", and what vr7lon prints on stderr.
#include <gtest/gtest.h>

#include <cerrno>

#include "app/messages.h"
#include "tests/common/testtext.h"

namespace {

using usertext::FileStep;

TEST(FailureText, OneTableOfFailuresAndTheirTexts) {
    const struct {
        Failure failure;
        FileStep step;
        std::string window;  // UTF-8 here; the window's text is its Windows-1251
        std::string line;    // vr7lon's, UTF-8
    } cases[] = {
        // A file that could not be saved says it was a write error; the other steps give the
        // system's words alone.
        {Failure::OfFile("/w/duxgate.cfg", EACCES), FileStep::NotSaved,
         "Ошибка записи файла: Permission denied", "/w/duxgate.cfg: Permission denied"},
        {Failure::OfFile("/w/duxgate.cfg", ENOSPC), FileStep::NotWritten, "No space left on device",
         "/w/duxgate.cfg: No space left on device"},
        {Failure::OfFile("duxgate.cfg", EISDIR), FileStep::NotCreated, "Is a directory",
         "duxgate.cfg: Is a directory"},
        {Failure::OfFile("plan.txt", ENOENT), FileStep::NotOpened, "No such file or directory",
         "plan.txt: No such file or directory"},
        // Refused input gives its reason whatever the step; a refused row is no write error.
        {Failure::OfInvalid("Не могу сохранить строку 2 (1b): пустое поле \"Ref\"", "a.cfg", 1),
         FileStep::NotSaved, "Не могу сохранить строку 2 (1b): пустое поле \"Ref\"",
         "a.cfg: Не могу сохранить строку 2 (1b): пустое поле \"Ref\""},
        {Failure::OfInvalid("'x' is not a valid integer value"), FileStep::NotOpened,
         "'x' is not a valid integer value", "'x' is not a valid integer value"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(usertext::FileFailureReason(c.step, c.failure).bytes(), W(c.window));
        EXPECT_EQ(usertext::FailureLine(c.failure).str(), c.line);
        EXPECT_EQ(usertext::FileFailure(c.step, "/p", c.failure).bytes(),
                  usertext::FileFailureBefore().bytes() + "/p" +
                      usertext::FileFailureAfter(c.step).bytes() + W(c.window));
    }
}

}  // namespace
