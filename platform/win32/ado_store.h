#pragma once
// The settings store of the Windows program: ADO over the Jet 4.0 OLE DB provider,
// late-bound through IDispatch on "ADODB.Connection" and "ADODB.Recordset", so that the
// settings files of existing installations keep working.
//
// Supports: Connection.Open with the connection string as the logic builds it,
// Recordset.Open over it (dynamic cursor, optimistic locks), Fields.Item(position).Value
// read as text and assigned, Update, CancelUpdate after a failed save (when EditMode says
// an edit is under way), and BeginTrans/CommitTrans/RollbackTrans so that both records
// are saved in one transaction. Every call is made from its record in ado_calls.h, which
// the build holds against ADO's declared interfaces. When the file named by the logic's
// Data Source is absent, the delivered default (the statements of resources/tolvdata.sql:
// keys S R L H B, all disabled) is created through Jet's own catalog, ADOX.Catalog.Create,
// under a name of its own, and moved into place only when whole and only where no file
// has appeared meanwhile.
// Not supported: any provider's quirks beyond Jet's. Every failure, down to ADO itself
// missing (Wine has no Jet provider, and its own ADO reads no records: docs/windows.md),
// comes back as an Error with the provider's own description or the code in words, which
// the logic turns into its one message and runs without hotkeys.
// Texts cross this edge as UTF-8 inside the program and UTF-16 BSTRs in ADO.
// COM must be initialised on the calling thread (the program's main does it).
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/services.h"

struct tagVARIANT;

namespace tolvane::win32 {

class AdoStore : public StoreApi {
public:
    std::unique_ptr<Connection> createConnection() override;

    // Turns the connection string the logic passes into the one ADO opens.
    using ProviderString = std::function<std::string(const std::string& logicString)>;

protected:
    // What each new connection opens: the logic's own string. The settings file looked
    // after (made from the default when absent) is always the one the logic's string
    // names, whatever opens it.
    virtual ProviderString providerString() const;
};

// A field's value as the program's text (UTF-8); a Null, an empty value or one that has
// no text form is refused, naming `where` (as "field 3 of table en").
Result<std::string> fieldTextOf(const tagVARIANT& value, const std::string& where);
// Moves the whole new settings file `draft` to `file` unless a file is there; then the
// one that is there stays as it is and `draft` is removed. Succeeds in both cases.
Result<void> placeNewFile(const std::string& draft, const std::string& file);
// The statements of an SQL script: split at ';', with "--" comment lines dropped.
std::vector<std::string> sqlStatements(const std::string& script);

}  // namespace tolvane::win32
