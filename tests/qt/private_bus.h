#pragma once
// A D-Bus daemon of the tests' own needs a configuration of its own: started with the
// machine's session configuration it would read the machine's service directories, and
// anything installed there (a desktop portal, a notification daemon) could be started by
// activation and answer in place of the tests' mocks. This one knows no service at all,
// unless a test names service directories of its own.
#include <fstream>
#include <string>
#include <vector>

namespace tolvane::test {

// Writes the configuration into `folder` and returns its path, for
// `dbus-daemon --config-file=PATH --nofork --print-address=1`.
inline std::string writeBusConfig(const std::string& folder, const std::vector<std::string>& serviceDirs = {})
{
    const std::string path = folder + "/bus.conf";
    std::ofstream out(path);
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
    for (const std::string& dir : serviceDirs) out << "  <servicedir>" << dir << "</servicedir>\n";
    out << "</busconfig>\n";
    return path;
}

}  // namespace tolvane::test
