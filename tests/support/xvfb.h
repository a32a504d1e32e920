// A private X server (Xvfb) for tests that show the real window, on a display
// number of its own that a client has been seen to reach.
#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

namespace tonare_test {

class Xvfb {
public:
    Xvfb() = default;
    ~Xvfb();
    Xvfb(const Xvfb&) = delete;
    Xvfb& operator=(const Xvfb&) = delete;

    // Starts a 1024x768x24 screen without TCP and without resets on a free
    // display from :100 up, checked with xdpyinfo. False, with Error() set, when no
    // display came up within `displayMs` (slow machines, such as an emulated one, pass more).
    static constexpr int DisplayMs = 10000;
    bool Start(int displayMs = DisplayMs);
    void Stop();

    // ":N", or "" before a successful Start.
    QString Display() const { return display_; }
    QString Error() const { return error_; }
    // False once the server has ended, e.g. killed from outside the test.
    bool Running() const { return process_.state() == QProcess::Running; }

    // `base` with DISPLAY set to this server and Qt on its xcb platform; no
    // XAUTHORITY, since the server accepts local clients without a cookie.
    QProcessEnvironment Environment(QProcessEnvironment base = QProcessEnvironment::systemEnvironment()) const;

private:
    QProcess process_;
    QString display_;
    QString error_;
};

}  // namespace tonare_test
