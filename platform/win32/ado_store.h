#pragma once
// The settings store of the Windows program: ADO over the Jet 4.0 OLE DB provider,
// late-bound through IDispatch on "ADODB.Connection" and "ADODB.Recordset", so that the
// settings files of existing installations keep working.
//
// Supports: Connection.Open with the connection string as the logic builds it,
// Recordset.Open over it (dynamic cursor, optimistic locks), Fields.Item(position).Value
// read as text and assigned, Update, and BeginTrans/CommitTrans/RollbackTrans so that
// both records are saved in one transaction. When the file named by the connection
// string's Data Source is absent, the delivered default (the statements of
// resources/tolvdata.sql: keys S R L H B, all disabled) is created through Jet's own
// catalog, ADOX.Catalog.Create, and removed again if any step of that fails.
// Not supported: any provider's quirks beyond Jet's. Every failure, down to ADO itself
// missing (Wine has no Jet provider), comes back as an Error with the provider's own
// description, which the logic turns into its one message and runs without hotkeys.
// COM must be initialised on the calling thread (the program's main does it).
#include <memory>
#include <string>
#include <vector>

#include "platform/services.h"

namespace tolvane::win32 {

class AdoStore : public StoreApi {
public:
    std::unique_ptr<Connection> createConnection() override;
};

// The value of "Data Source=" in a connection string, up to its ';' (or the end).
std::string dataSourceOf(const std::string& connectionString);
// The statements of an SQL script: split at ';', with "--" comment lines dropped.
std::vector<std::string> sqlStatements(const std::string& script);

}  // namespace tolvane::win32
