// Holds the ADOX calls of the settings store (ado_calls.h) against the catalog interface
// that mingw-w64's adoctint.h declares, as ado_calls_check.cpp does for ADO's own: the
// store makes the delivered default through _Catalog.Create and the connection it leaves
// in ActiveConnection. Nothing here runs; a mismatch stops the Windows build.
#include "platform/win32/ado_calls_check.h"

#include <adoctint.h>

namespace tolvane::win32::ado {
namespace {

TOLVANE_ADO_CHECK(_ADOCatalog, , Create, kCatalogCreate);
TOLVANE_ADO_CHECK(_ADOCatalog, get_, ActiveConnection, kCatalogActiveConnection);

}  // namespace
}  // namespace tolvane::win32::ado
