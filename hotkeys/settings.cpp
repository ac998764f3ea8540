// The hotkey settings: opening the settings database at start-up, loadhkey and savehkey.
#include "hotkeys/settings.h"

#include "hotkeys/hk.h"
#include "hotkeys/values.h"

namespace tolvane {

namespace {

constexpr const char* kFileName = "tolvdata.v";
constexpr int adConnectUnspecified = -1, adOpenDynamic = 2, adLockOptimistic = 3, adCmdUnspecified = -1;

}  // namespace

HotkeySettings::HotkeySettings(Platform& platform, std::function<HK&()> hk,
                               std::function<void(const std::string&)> tell)
    : platform_(platform), hk_(std::move(hk)), tell_(std::move(tell))
{
}

// The settings file: the folder that plays the Windows directory, then the file name.
std::string HotkeySettings::settingsFile() const
{
    return platform_.environment.windowsDirectory() + platform_.environment.pathSeparator() + kFileName;
}

void HotkeySettings::openSettings()
{
    const std::string connection =
        "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + settingsFile() + ";" + "Persist Security Info=False";
    hkeydb = platform_.store.createConnection();
    if (auto opened = hkeydb->open(connection, "", "", adConnectUnspecified); !opened) {
        reportSettingsProblem(opened.error().message);
        return;
    }
    auto ky = hkeydb->openRecordset("select * from ky", adOpenDynamic, adLockOptimistic, adCmdUnspecified);
    if (!ky) {
        reportSettingsProblem(ky.error().message);
        return;
    }
    kyrs = std::move(ky.value());
    auto en = hkeydb->openRecordset("select * from en", adOpenDynamic, adLockOptimistic, adCmdUnspecified);
    if (!en) {
        reportSettingsProblem(en.error().message);
        return;
    }
    enrs = std::move(en.value());
}

// The first problem is told once; from then on the hotkeys are off and nothing is written.
void HotkeySettings::reportSettingsProblem(const std::string& problem)
{
    useHotkeys({}, {}, false);
    if (settingsProblem_) return;
    settingsProblem_ = problem;
    tell_("The hotkey settings in " + settingsFile() + " cannot be used: " + problem +
          ". Tolvane runs without hotkeys and leaves the file as it is.");
}

void HotkeySettings::loadhkey()
{
    if (settingsProblem_) return;
    if (auto read = readSettings(false); !read) reportSettingsProblem(read.error().message);
}

// Both records into the cached copies, then into the hotkey window. Nothing is taken
// over unless all ten values could be read.
Result<void> HotkeySettings::readSettings(bool saved)
{
    HotkeyTexts flags, chars;
    for (int16_t row = 0; row < kActionCount; ++row) {
        auto value = enrs->fieldText(row);
        if (!value) return value.error();
        if (!flagNumber(value.value())) return Error{"field " + std::to_string(row) + " of table en is not a number"};
        flags[static_cast<size_t>(row)] = value.value();
    }
    for (int16_t row = 0; row < kActionCount; ++row) {
        auto value = kyrs->fieldText(row);
        if (!value) return value.error();
        chars[static_cast<size_t>(row)] = value.value();
    }
    useHotkeys(chars, flags, saved);

    HK& hk = hk_();
    for (size_t row = 0; row < 5; ++row) hk.checks()[row]->setValue(hotkeyEnabled(hkeyflag[row]) ? 1 : 0);
    for (size_t row = 0; row < 5; ++row) hk.keys()[row]->setText(hkeychar[row]);
    hk.combo1.clear();
    for (size_t row = 0; row < 5; ++row)
        hk.combo1.addItem(kActions[row].listCaption + hkeychar[row] + " " +
                          (hotkeyEnabled(hkeyflag[row]) ? "Enabled" : "Disabled"));
    return success();
}

void HotkeySettings::savehkey()
{
    // A settings file that could not be read is never written to.
    if (settingsProblem_) {
        tell_("The hotkey settings were not saved, because the settings file cannot be used: " + *settingsProblem_ +
              ".");
        return;
    }
    HK& hk = hk_();
    const auto boxes = hk.keys();
    for (size_t a = 0; a < 5; ++a) {
        for (size_t b = a + 1; b < 5; ++b) {
            if (boxes[a]->text() == boxes[b]->text()) {
                tell_("No duplicate values allowed");
                return;
            }
        }
    }
    for (EditBox* box : boxes) {
        if (box->text().empty()) {
            tell_("No blank fields please");
            return;
        }
    }

    // Both records go in one transaction, so a failure leaves neither half written.
    auto write = [&]() -> Result<void> {
        if (auto r = hkeydb->beginTrans(); !r) return r;
        for (int16_t row = 0; row < 5; ++row) {
            FieldValue flag{false, "", static_cast<int16_t>(hk.checks()[static_cast<size_t>(row)]->value())};
            if (auto r = enrs->setField(row, flag); !r) return r;
        }
        if (auto r = enrs->update(); !r) return r;
        for (int16_t row = 0; row < 5; ++row) {
            FieldValue key{true, boxes[static_cast<size_t>(row)]->text(), 0};
            if (auto r = kyrs->setField(row, key); !r) return r;
        }
        if (auto r = kyrs->update(); !r) return r;
        return hkeydb->commitTrans();
    };
    if (auto written = write(); !written) {
        // The recordsets drop what was not stored first, or they would read it back as
        // stored; then the transaction takes back whatever did reach the file.
        enrs->cancelUpdate();
        kyrs->cancelUpdate();
        hkeydb->rollbackTrans();
        tell_("The hotkey settings were not saved: " + written.error().message + ".");
        return;
    }
    // The file holds the new settings now. If they cannot be read back, the hotkeys stay
    // off rather than act on values that were not read, and the user hears why.
    if (auto reread = readSettings(true); !reread) {
        useHotkeys({}, {}, false);
        settingsProblem_ = reread.error().message;
        tell_("The hotkey settings were saved in " + settingsFile() + ", but cannot be read back: " +
              reread.error().message + ". Tolvane runs without hotkeys until it is started again.");
        return;
    }
    tell_("Settings Saved");
}

// What the monitor reacts to changes only here, and the key-state service hears of it at once.
void HotkeySettings::useHotkeys(const HotkeyTexts& chars, const HotkeyTexts& flags, bool saved)
{
    hkeychar = chars;
    hkeyflag = flags;
    platform_.keyboard.watch(watchedKeys(hkeychar, hkeyflag, saved));
}

}  // namespace tolvane
