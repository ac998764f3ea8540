// The windows as a screen reader reads them (AT-SPI, read by tests/qt/atspi_reader.py): every
// control that takes input with the role of its kind and the name the design gives it, the
// window with its role, and a change of the status line and the warning's countdown heard as
// text events.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <map>

#include "conformance_fixture.h"

namespace tolvane::test {
namespace {

// What a screen reader reads of the test process, one JSON object a line (atspi_reader.py).
class ScreenReader {
public:
    ~ScreenReader()
    {
        process_.kill();
        process_.waitForFinished(5000);
    }
    // The whole tree of the program's windows, read while the program answers.
    std::vector<QJsonObject> tree()
    {
        start("tree");
        waitFor([&] { return process_.state() == QProcess::NotRunning; }, 90000);
        return lines();
    }
    // Listens to the program's events from now on.
    bool listen()
    {
        start("events");
        return waitFor(
            [&] {
                heard_ += process_.readAllStandardOutput();
                return heard_.contains("ready\n");
            },
            60000);
    }
    // The events heard so far; true once one matches.
    bool hears(const std::function<bool(const QJsonObject&)>& match, int timeoutMs = 10000)
    {
        return waitFor(
            [&] {
                const std::vector<QJsonObject> all = lines();
                return std::any_of(all.begin(), all.end(), match);
            },
            timeoutMs);
    }
    std::vector<QJsonObject> lines()
    {
        heard_ += process_.readAllStandardOutput();
        std::vector<QJsonObject> out;
        for (const QByteArray& line : heard_.split('\n'))
            if (line.startsWith('{')) out.push_back(QJsonDocument::fromJson(line).object());
        return out;
    }

private:
    void start(const QString& mode)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("AT_SPI_BUS_ADDRESS", QString::fromStdString(xSession().accessibilityBus()));
        process_.setProcessEnvironment(env);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start("/usr/bin/python3", {TOLVANE_TEST_DIR "/atspi_reader.py", mode,
                                            QString::number(QCoreApplication::applicationPid())});
    }

    QProcess process_;
    QByteArray heard_;
};

// The AT-SPI role a control of each kind has, as a screen reader names it.
QString roleOfKind(ControlKind kind)
{
    switch (kind) {
        case ControlKind::PushButton:
            return "push button";
        case ControlKind::CheckBox:
            return "check box";
        case ControlKind::OptionButton:
            return "radio button";
        case ControlKind::DropDownList:
            return "combo box";
        case ControlKind::ListBox:
            return "list";
        case ControlKind::EditBox:
            return "text";
        case ControlKind::Label:
            return "label";
        case ControlKind::Frame:
            return "panel";
        case ControlKind::Image:
            return "image";
        case ControlKind::WebView:
            return {};  // the toolkit's own reading of a document
    }
    return {};
}

// What the design puts beside each control, as a screen reader is to read it: the role where
// it is not its kind's, and the name. A name follows the list of its row ("Shutdown after,
// hours" while the "after" list shows "Shutdown After").
struct Reading {
    QString role, name, action;
};
const std::map<std::string, std::map<std::string, Reading>> kReadings = {
    {"Form1",
     {{"", {"frame", "Tolvane 3.0 - Quenmoor", {}}},
      {"Label3", {"status bar", "Currently no action scheduled", {}}},
      {"Option1", {{}, "Shutdown After", {}}},
      {"Combo1", {{}, "Action after a delay", {}}},
      {"Combo3", {{}, "Shutdown after, hours", {}}},
      {"Combo4", {{}, "Shutdown after, minutes", {}}},
      {"Option2", {{}, "Shutdown At", {}}},
      {"Combo2", {{}, "Action at a time of day", {}}},
      {"Combo6", {{}, "Shutdown at, hour", {}}},
      {"Combo5", {{}, "Shutdown at, minute", {}}},
      {"Label9", {{}, " Warn 30 seconds before the action", "Toggle"}},
      {"Check6", {{}, " Warn 30 seconds before the action", {}}},
      {"Command1", {{}, "SET", {}}},
      {"Command2", {{}, "Hot Keys", {}}},
      {"Command3", {{}, "Send To Tray", {}}},
      {"Command4", {{}, "Home Page", {}}},
      {"WebBrowser1", {{}, "Information", {}}}}},
    {"HK",
     {{"", {"dialog", "Setup Hot Keys", {}}},
      {"Check1", {{}, "Shutdown on Ctrl + Alt +", {}}},
      {"Text1", {{}, "Shutdown on Ctrl + Alt +", {}}},
      {"Check2", {{}, "Restart on Ctrl + Alt +", {}}},
      {"Text2", {{}, "Restart on Ctrl + Alt +", {}}},
      {"Check3", {{}, "Log off on Ctrl + Alt +", {}}},
      {"Text3", {{}, "Log off on Ctrl + Alt +", {}}},
      {"Check4", {{}, "Hibernate on Ctrl + Alt +", {}}},
      {"Text4", {{}, "Hibernate on Ctrl + Alt +", {}}},
      {"Check5", {{}, "Stand by on Ctrl + Alt +", {}}},
      {"Text5", {{}, "Stand by on Ctrl + Alt +", {}}},
      {"combo1", {{}, " Current Settings", {}}},
      {"Command1", {{}, "SET", {}}}}},
    {"Form2", {{"", {"alert", {}, {}}}, {"Command1", {{}, "OK", {}}}}},
};

// The windows as a screen reader reads them, which no style changes: run once, beside the
// other window tests.
class ScreenReading : public Conformance {
protected:
    // One walk of the window's accessible tree: the window, and each control that takes input
    // or has a reading of its own, found by its place on the screen.
    void checkAccessible(const Window& window)
    {
        if (!accessibilityProblem().empty()) GTEST_SKIP() << accessibilityProblem();
        SCOPED_TRACE(window.name() + ", as a screen reader reads it");
        const auto readings = kReadings.at(window.name());
        const auto placeOf = [](const QJsonObject& o) {
            const QJsonArray p = o["place"].toArray();
            return p.size() == 4 ? QRect(p[0].toInt(), p[1].toInt(), p[2].toInt(), p[3].toInt()) : QRect();
        };
        const auto screenRect = [](const QWidget* w) { return QRect(w->mapToGlobal(QPoint(0, 0)), w->size()); };
        const std::vector<QJsonObject> tree = ScreenReader().tree();
        ASSERT_FALSE(tree.empty()) << "nothing read";
        ASSERT_FALSE(tree.front().contains("error")) << tree.front()["error"].toString().toStdString();
        // The window's own objects: from its line at depth 0 to the next window's.
        auto top = std::find_if(tree.begin(), tree.end(), [&](const QJsonObject& o) {
            return o["depth"].toInt() == 0 && placeOf(o) == screenRect(widget(window));
        });
        ASSERT_NE(top, tree.end()) << "the window is not in the tree";
        const auto end =
            std::find_if(top + 1, tree.end(), [](const QJsonObject& o) { return o["depth"].toInt() == 0; });
        const Reading& own = readings.at("");
        EXPECT_EQ((*top)["role"].toString(), own.role);
        if (!own.name.isEmpty()) {
            EXPECT_EQ((*top)["name"].toString(), own.name);
        }
        for (const Control* c : window.controls()) {
            const auto reading = readings.find(c->name());
            if (!c->takesFocus() && reading == readings.end()) continue;
            SCOPED_TRACE(c->name());
            const QString role = reading != readings.end() && !reading->second.role.isEmpty() ? reading->second.role
                                                                                              : roleOfKind(c->kind());
            // The object of that role nearest to the control's place (a check box's object is
            // where a click ticks it, its box and caption, not its whole widget).
            const QRect place = screenRect(widget(*c));
            const auto distance = [&](const QJsonObject& o) {
                return (placeOf(o).center() - place.center()).manhattanLength();
            };
            auto found = end;
            for (auto o = top + 1; o != end; ++o) {
                const bool fits = role.isEmpty() ? (*o)["role"] != "filler" : (*o)["role"].toString() == role;
                if (fits && place.contains(placeOf(*o).center()) && (found == end || distance(*o) < distance(*found)))
                    found = o;
            }
            ASSERT_NE(found, end) << "no " << (role.isEmpty() ? "object" : role.toStdString()) << " at its place";
            const QString name = (*found)["name"].toString();
            EXPECT_FALSE(name.trimmed().isEmpty()) << "no name";
            EXPECT_NE(name.toStdString(), c->name()) << "named by its design name";
            // A list's selected item is its text: what a reader says after its name.
            if (c->kind() == ControlKind::DropDownList) {
                EXPECT_EQ((*found)["text"].toString().toStdString(), static_cast<const ListControl*>(c)->text());
            }
            if (reading == readings.end()) continue;
            EXPECT_EQ(name, reading->second.name);
            if (!reading->second.action.isEmpty()) {
                EXPECT_TRUE((*found)["actions"].toArray().contains(reading->second.action)) << "no action";
            }
        }
    }
};

// Read before anything is clicked: the names follow what the lists show.
TEST_F(ScreenReading, TheMainWindow)
{
    ASSERT_NO_FATAL_FAILURE(openMainWindow());
    ASSERT_NO_FATAL_FAILURE(checkAccessible(form1()));
    // SET writes the status line: a reader hears the new text, wherever the focus is.
    ScreenReader reader;
    ASSERT_TRUE(reader.listen()) << "the reader does not listen";
    clickDesigned(form1().Command1);
    ASSERT_EQ(form1().Label3.caption(), "Shutdown After 00:01    Warning Disabled");
    EXPECT_TRUE(reader.hears([](const QJsonObject& e) {
        return e["type"] == "object:text-changed:insert" && e["role"] == "status bar" &&
               e["data"] == "Shutdown After 00:01    Warning Disabled";
    })) << "SET raised no text event on the status line";
    clickDesigned(form1().Command1);  // RESET
}

// The warning comes as an alert, and its countdown is heard as it goes.
TEST_F(ScreenReading, TheWarningWindow)
{
    ASSERT_NO_FATAL_FAILURE(openMainWindow());
    if (!accessibilityProblem().empty()) GTEST_SKIP() << accessibilityProblem();
    ScreenReader reader;
    ASSERT_TRUE(reader.listen()) << "the reader does not listen";
    clickDesigned(form1().Label9);
    clickDesigned(form1().Command1);
    ASSERT_TRUE(form1().Timer4.enabled());
    form1().Timer4.fire();
    Form2* warning = desktop_->program().existingForm2();
    ASSERT_NE(warning, nullptr);
    ASSERT_TRUE(waitPlaced(*warning));
    EXPECT_TRUE(reader.hears([](const QJsonObject& e) {
        return e["type"] == "window:activate" && e["role"] == "alert";
    })) << "the warning did not come as an alert";
    EXPECT_TRUE(reader.hears([](const QJsonObject& e) {
        return e["type"] == "object:text-changed:insert" && e["role"] == "alert" &&
               e["data"] == "Shutdown After  29 Seconds";
    })) << "the countdown raised no text event";
    checkAccessible(*warning);
}

TEST_F(ScreenReading, TheHotkeyWindow)
{
    ASSERT_NO_FATAL_FAILURE(openMainWindow());
    ASSERT_NO_FATAL_FAILURE(openHotkeyWindow());
    checkAccessible(*desktop_->program().existingHK());
}

}  // namespace
}  // namespace tolvane::test
