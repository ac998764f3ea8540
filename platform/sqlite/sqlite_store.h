#pragma once
// The settings store on SQLite, for the Linux program and the simulated platform: the
// connection string's "Data Source" names the file; tables are read and written by
// field position on their first record. Every read and every transaction is on the file the
// path names at that moment: a file replaced while the program runs is opened anew, and a
// missing one gets the delivered default, as at start-up.
#include <string>

#include "platform/services.h"

namespace tolvane {

class SqliteStore : public StoreApi {
public:
    // defaultFile: the delivered settings file, copied into place when the file a
    // connection names does not exist ("" for none: a missing file is then an error).
    explicit SqliteStore(std::string defaultFile) : defaultFile_(std::move(defaultFile)) {}
    std::unique_ptr<Connection> createConnection() override;

private:
    std::string defaultFile_;
};

// Where the delivered settings file is, looked up beside the running program:
// <dir>/share/tolvane/tolvdata.v (build tree) or <dir>/../share/tolvane/tolvdata.v.
std::string findDefaultSettings();

}  // namespace tolvane
