// One end of the virtual line: a pseudo-terminal master and its slave path.
#pragma once

#include <string>
#include <termios.h>

// Maps a termios speed code to its baud rate; 0 for B0 or an unknown code.
int baudFromSpeed(speed_t speed);
// Maps a baud rate to its termios speed code; B0 when it has none.
speed_t speedFromBaud(int baud);
// Puts fd in raw 8N1 mode (no echo, no line editing, no flow control,
// receiver on, modem lines ignored) at `baud` (0 keeps the speed it has).
// 0, or -errno.
int makeRaw(int fd, int baud);

// Owns a pty master (non-blocking). The slave starts in raw mode so that
// nothing the line writes is echoed back or edited before the client sets
// its own mode. On Linux the master and the slave share one termios (a
// TCGETS on the master reports what the slave set), so the client's speed
// is read from the master without holding the slave open.
class PtyEnd {
public:
    PtyEnd() = default;
    ~PtyEnd();
    PtyEnd(const PtyEnd&) = delete;
    PtyEnd& operator=(const PtyEnd&) = delete;

    // Creates the pty; with holdSlave, also opens the slave and keeps it
    // (never read) so that the end stays open between clients. 0 or -errno.
    int open(bool holdSlave);
    // Makes a symbolic link at linkPath to the slave; an existing symbolic
    // link is replaced, any other file is left alone (-EEXIST). 0 or -errno.
    int makeLink(const std::string& linkPath);
    // Closes the master (the client then sees a hang-up), the held slave,
    // and removes the link. Safe to call twice.
    void close();

    int masterFd() const { return master; }
    const std::string& slavePath() const { return path; }
    // The baud rate the slave's termios holds now; 0 when unknown.
    int currentBaud() const;

    // 1 when bytes given to the slave wait for its client to read them, 0
    // when none do, -1 when that cannot be seen (a client that locked the
    // device with TIOCEXCL keeps the line from opening a slave descriptor
    // of its own unless it runs as root). Closing the master discards such
    // bytes (the slave is hung up), so an ending line waits for them to be
    // read. Opens a slave descriptor of its own the first time when the end
    // holds none.
    int unreadInput();

    // Feeds the revents of a poll on the master. Returns true when the
    // end's last user has closed it after it had been open: a hang-up that
    // follows a poll without one (a kernel may report a never-opened slave
    // as hung up too).
    bool closedByClient(short revents);

private:
    int master = -1;
    int heldSlave = -1;
    int probeSlave = -1;
    std::string path;
    std::string link;
    bool sawOpen = false;
};
