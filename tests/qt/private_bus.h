#pragma once
// A D-Bus daemon of the tests' own, and the only way the tests start one. It has a
// configuration of its own: started with the machine's session configuration it would read
// the machine's service directories, and anything installed there (a desktop portal, a
// notification daemon) could be started by activation and answer in place of the tests'
// mocks. This one knows no service at all, unless a test puts one in its service folder.
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "child_process.h"

namespace tolvane::test {

class PrivateBus {
public:
    ~PrivateBus()
    {
        stop();
        std::error_code ignored;
        if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
    }

    static bool available() { return ::access("/usr/bin/dbus-daemon", X_OK) == 0; }

    // Starts the bus; with services, it also starts what a test describes in serviceDir()
    // (after a ReloadConfig). False with the reason in *why when it does not come up.
    bool start(std::string* why = nullptr, bool services = false)
    {
        std::string folder = "/tmp/tolvane-bus.XXXXXX";
        if (!::mkdtemp(folder.data())) return fail(why, "no folder for the bus");
        folder_ = folder;
        const std::string config = folder_ + "/bus.conf";
        std::ofstream out(config);
        out << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
               " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
               "<busconfig>\n"
               "  <type>session</type>\n"
               "  <listen>unix:tmpdir=/tmp</listen>\n"
               "  <auth>EXTERNAL</auth>\n"
               "  <policy context=\"default\">\n"
               "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
               "    <allow eavesdrop=\"true\"/>\n"
               "    <allow own=\"*\"/>\n"
               "  </policy>\n";
        if (services) {
            serviceDir_ = folder_ + "/services";
            std::filesystem::create_directory(serviceDir_);
            out << "  <servicedir>" << serviceDir_ << "</servicedir>\n";
            // A desktop's portal may take longer than the bus's usual 25 s to come up on a
            // loaded machine (seen beside a second build); a service that never comes still fails.
            out << "  <limit name=\"service_start_timeout\">120000</limit>\n";
        }
        out << "</busconfig>\n";
        out.close();
        if (!daemon_.start({"/usr/bin/dbus-daemon", "--config-file=" + config, "--nofork", "--print-address=1"}, {},
                           true))
            return fail(why, "dbus-daemon could not be started");
        address_ = daemon_.readLine(20000);
        return !address_.empty() || fail(why, "dbus-daemon told no address within 20 s");
    }

    const std::string& address() const { return address_; }
    // The folder whose service files the bus reads, "" unless asked for.
    const std::string& serviceDir() const { return serviceDir_; }
    void stop() { daemon_.stop(); }

private:
    static bool fail(std::string* why, const std::string& reason)
    {
        if (why) *why = reason;
        return false;
    }

    ChildProcess daemon_;
    std::string folder_, address_, serviceDir_;
};

}  // namespace tolvane::test
