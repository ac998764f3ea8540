#include "platform/sim/recording_store.h"

#include "platform/model/connection_string.h"

namespace tolvane {

namespace {

template <class R>
R logged(Transcript& transcript, const std::string& call, R result)
{
    transcript.write(result ? call : call + " -> error: " + result.error().message);
    return result;
}

class RecordingRecordset : public Recordset {
public:
    RecordingRecordset(std::unique_ptr<Recordset> inner, std::string table, Transcript& transcript)
        : inner_(std::move(inner)), table_(std::move(table)), transcript_(transcript)
    {
    }

    Result<std::string> fieldText(int16_t position) override
    {
        auto value = inner_->fieldText(position);
        const std::string call = field(position);
        transcript_.write(value ? call + " -> " + quote(value.value()) : call + " -> error: " + value.error().message);
        return value;
    }

    Result<void> setField(int16_t position, const FieldValue& value) override
    {
        const std::string shown = value.isText ? quote(value.text) : std::to_string(value.number);
        return logged(transcript_, field(position) + " = " + shown, inner_->setField(position, value));
    }

    Result<void> update() override { return logged(transcript_, table_ + ".Update()", inner_->update()); }
    Result<void> cancelUpdate() override
    {
        return logged(transcript_, table_ + ".CancelUpdate()", inner_->cancelUpdate());
    }

private:
    std::string field(int16_t position) const
    {
        return table_ + ".Fields.Item(" + std::to_string(position) + ").Value";
    }

    std::unique_ptr<Recordset> inner_;
    std::string table_;
    Transcript& transcript_;
};

class RecordingConnection : public Connection {
public:
    RecordingConnection(std::unique_ptr<Connection> inner, Transcript& transcript)
        : inner_(std::move(inner)), transcript_(transcript)
    {
    }

    Result<void> open(const std::string& connectionString, const std::string& userId, const std::string& password,
                      int options) override
    {
        return logged(transcript_,
                      "Connection.Open(" + quote(connectionString) + ", " + quote(userId) + ", " + quote(password) +
                          ", " + std::to_string(options) + ")",
                      inner_->open(connectionString, userId, password, options));
    }

    Result<std::unique_ptr<Recordset>> openRecordset(const std::string& source, int cursorType, int lockType,
                                                     int options) override
    {
        auto opened = inner_->openRecordset(source, cursorType, lockType, options);
        const std::string call = "Recordset.Open(" + quote(source) + ", Connection, " + std::to_string(cursorType) +
                                 ", " + std::to_string(lockType) + ", " + std::to_string(options) + ")";
        if (!opened) {
            transcript_.write(call + " -> error: " + opened.error().message);
            return opened;
        }
        transcript_.write(call);
        return std::unique_ptr<Recordset>(
            std::make_unique<RecordingRecordset>(std::move(opened.value()), tableOf(source), transcript_));
    }

    Result<void> beginTrans() override { return logged(transcript_, "Connection.BeginTrans()", inner_->beginTrans()); }
    Result<void> commitTrans() override
    {
        return logged(transcript_, "Connection.CommitTrans()", inner_->commitTrans());
    }
    Result<void> rollbackTrans() override
    {
        return logged(transcript_, "Connection.RollbackTrans()", inner_->rollbackTrans());
    }

private:
    std::unique_ptr<Connection> inner_;
    Transcript& transcript_;
};

}  // namespace

std::unique_ptr<Connection> RecordingStore::createConnection()
{
    return std::make_unique<RecordingConnection>(inner_->createConnection(), transcript_);
}

}  // namespace tolvane
