#pragma once
// Wraps a settings store and writes each of its calls to the transcript:
//   Connection.Open("Provider=...", "", "", -1)
//   Recordset.Open("select * from ky", Connection, 2, 3, -1)
//   ky.Fields.Item(0).Value -> "S"          a read, with the value read
//   en.Fields.Item(0).Value = 1             a write to the current record
//   en.Update()
//   Connection.BeginTrans() / Connection.CommitTrans() / Connection.RollbackTrans()
// A call that fails is followed by " -> error: WHY".
#include <memory>

#include "platform/services.h"
#include "platform/sim/transcript.h"

namespace tolvane {

class RecordingStore : public StoreApi {
public:
    RecordingStore(std::unique_ptr<StoreApi> inner, Transcript& transcript)
        : inner_(std::move(inner)), transcript_(transcript)
    {
    }
    std::unique_ptr<Connection> createConnection() override;

private:
    std::unique_ptr<StoreApi> inner_;
    Transcript& transcript_;
};

}  // namespace tolvane
