// Results as vr7lon prints them: each kind named for what it is.
#include "link/resulttext.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

TEST(ResultText, NamesFixedCodesRefusalsAndSystemErrorsApart) {
    const struct {
        LinkResult result;
        int systemError;
        const char* text;
    } cases[] = {
        {lr::NotOpen, 0, "result 1003: the link is not open (port or host could not be opened)"},
        {lr::NotOpen, ENOTTY,
         "result 1003: the link is not open (port or host could not be opened) (not a terminal, "
         "so not a serial port)"},
        {lr::NotOpen, ENOENT,
         "result 1003: the link is not open (port or host could not be opened) (No such file or "
         "directory)"},
        {lr::NotOpen, ECONNRESET,
         "result 1003: the link is not open: the device closed the connection"},
        {lr::BadTcpPort, 0,
         "result 1019: the TCP port setting (TCPIPport) is no number from 1 to 65535"},
        {5, 0, "result 5: the device answered with this refusal code"},
        {lr::Cancelled, 0, "result 1021: cancelled by the user"},
        {lr::Incomplete, 0,
         "result 1018: incomplete transfer: the file's blocks do not add up to the size the "
         "device announced"},
        // A serial port that went away mid-command (a hung-up tty gives EIO; drivers of removed
        // USB devices ENODEV or ENXIO); a 1003 with one of these stays an open's failure.
        {lr::SystemError, EIO,
         "result 1020: the port disappeared (adapter unplugged?): Input/output error"},
        {lr::SystemError, ENODEV,
         "result 1020: the port disappeared (adapter unplugged?): No such device"},
        {lr::SystemError, ENXIO,
         "result 1020: the port disappeared (adapter unplugged?): No such device or address"},
        {lr::NotOpen, ENODEV,
         "result 1003: the link is not open (port or host could not be opened) (No such device)"},
        {lr::SystemError, 0, "result 1020: input/output error on the link"},
        {lr::SystemError, EBADF,
         "result 1020: input/output error on the link (Bad file descriptor)"},
    };
    for (const auto& c : cases) EXPECT_EQ(ResultText(c.result, c.systemError), c.text);
}

}  // namespace
