#include "tests/win32/conformance_fixture.h"

namespace tolvane::conformance {

// A real click at the point, and the event of the control's kind in the model.
void Conformance::expectModelEvent(Control& c, POINT screen)
{
    HWND h = handle(c);
    switch (c.kind()) {
        case ControlKind::PushButton:
        case ControlKind::Label: {
            int clicks = 0;
            auto handler = c.onClick;
            c.onClick = [&] { ++clicks; };  // seen, and the program's own reaction kept out
            clickAt(screen);
            EXPECT_TRUE(wait([&] { return clicks > 0; }, 3000)) << c.name() << ": the click is not seen";
            settle(100);
            EXPECT_EQ(clicks, 1) << c.name();
            c.onClick = handler;
            break;
        }
        case ControlKind::CheckBox: {
            auto& box = static_cast<CheckBox&>(c);
            const int before = box.value();
            clickAt(screen);
            EXPECT_TRUE(wait([&] { return box.value() != before; }, 3000)) << c.name() << ": not toggled";
            settle(100);
            EXPECT_EQ(box.value(), before == 0 ? 1 : 0) << c.name() << ": toggled once";
            EXPECT_EQ(SendMessageA(h, BM_GETCHECK, 0, 0) == BST_CHECKED, box.value() == 1) << c.name();
            box.setValue(before);
            break;
        }
        case ControlKind::OptionButton: {
            auto& option = static_cast<OptionButton&>(c);
            const bool before = option.value();
            option.setValue(false);
            clickAt(screen);
            EXPECT_TRUE(wait([&] { return option.value(); }, 3000)) << c.name() << ": not selected by the click";
            EXPECT_EQ(SendMessageA(h, BM_GETCHECK, 0, 0), BST_CHECKED) << c.name();
            option.setValue(before);
            break;
        }
        case ControlKind::DropDownList: {
            auto& list = static_cast<ListControl&>(c);
            clickAt(screen);
            ASSERT_TRUE(wait([&] { return SendMessageA(h, CB_GETDROPPEDSTATE, 0, 0) != FALSE; }, 3000))
                << c.name() << ": the click does not open the list";
            COMBOBOXINFO info{};
            info.cbSize = sizeof info;
            ASSERT_TRUE(GetComboBoxInfo(h, &info));
            const int count = static_cast<int>(SendMessageA(info.hwndList, LB_GETCOUNT, 0, 0));
            const int first = static_cast<int>(SendMessageA(info.hwndList, LB_GETTOPINDEX, 0, 0));
            const int target = first + 1 != list.listIndex() ? first + 1 : first + 2;
            ASSERT_LT(target, count) << c.name();
            RECT item{};
            SendMessageA(info.hwndList, LB_GETITEMRECT, static_cast<WPARAM>(target), reinterpret_cast<LPARAM>(&item));
            POINT p{(item.left + item.right) / 2, (item.top + item.bottom) / 2};
            ClientToScreen(info.hwndList, &p);
            clickAt(p);
            EXPECT_TRUE(wait([&] { return list.listIndex() == target; }, 3000))
                << c.name() << ": the item picked is not the model's selection";
            EXPECT_EQ(list.text(), list.items()[static_cast<size_t>(target)]);
            break;
        }
        case ControlKind::ListBox: {
            auto& list = static_cast<ListControl&>(c);
            POINT client = screen;
            ScreenToClient(h, &client);
            const LRESULT at = SendMessageA(h, LB_ITEMFROMPOINT, 0, MAKELPARAM(client.x, client.y));
            ASSERT_EQ(HIWORD(at), 0) << c.name() << ": no line under its centre";
            clickAt(screen);
            EXPECT_TRUE(wait([&] { return list.listIndex() == LOWORD(at); }, 3000))
                << c.name() << ": the line clicked is not the model's selection";
            break;
        }
        case ControlKind::EditBox: {
            auto& box = static_cast<EditBox&>(c);
            std::vector<int> codes;
            auto filter = box.onKeyPress;
            box.onKeyPress = [&](int code) {
                codes.push_back(code);
                return filter ? filter(code) : code;
            };
            clickAt(screen);
            EXPECT_TRUE(wait([&] { return GetFocus() == h; }, 3000)) << c.name() << ": the click does not focus it";
            pressKey(VK_END);
            pressKey(VK_BACK);
            EXPECT_TRUE(wait([&] { return !codes.empty(); }, 3000)) << c.name() << ": the key does not reach the model";
            EXPECT_EQ(codes, std::vector<int>{8}) << c.name();
            EXPECT_TRUE(wait([&] { return box.text().empty(); }, 3000))
                << c.name() << ": Backspace left " << box.text();
            box.onKeyPress = filter;
            break;
        }
        case ControlKind::Frame:
        case ControlKind::Image:
        case ControlKind::WebView: {
            // Frames, pictures and the web panel have no event: a click changes nothing.
            app->changes.seen.clear();
            clickAt(screen);
            settle(300);
            EXPECT_EQ(app->changes.seen, std::vector<std::string>{}) << c.name();
            break;
        }
    }
}

}  // namespace tolvane::conformance
