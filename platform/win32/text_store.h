#pragma once
// A settings store in a small text file, for tolv-dryrun.exe only: Wine has no Jet
// provider, so tests that need working hotkeys give the dry-run program a store of
// their own through the TOLVANE_DRYRUN_STORE variable. tolv.exe never honours it.
//
// The file holds one line per table, the table name and its five fields separated by
// tabs, for example "ky\tS\tR\tL\tH\tB" and "en\t1\t0\t0\t0\t0", in the system's ANSI
// code page as a Windows program's text files are (UTF-8 in the program). The store behaves as
// the ADO objects do for the program: fields by position on the one record, Update to
// write a record, and a transaction that writes both records at once (or neither).
// Not supported: several records, field names, a missing file (that is a failure,
// as a missing Jet file would be one without the catalog).
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/services.h"

namespace tolvane::win32 {

class TextStore : public StoreApi {
public:
    explicit TextStore(std::string path) : path_(std::move(path)) {}
    std::unique_ptr<Connection> createConnection() override;

private:
    std::string path_;
};

using TextTables = std::map<std::string, std::vector<std::string>>;
Result<TextTables> readTextTables(const std::string& path);
Result<void> writeTextTables(const std::string& path, const TextTables& tables);

}  // namespace tolvane::win32
