// The four click handlers. Each runs its steps strictly in order; none reads an input field it
// does not name, validates anything or keeps state between clicks.
#include "Handlers.h"

#include "Dialogs.h"
#include "Files.h"
#include "LiveWindows.h"
#include "MainWindow.h"
#include "OrderClock.h"
#include "PictureBox.h"
#include "Primitives.h"
#include "Shell.h"

#include <utility>

namespace {

// Packaging texts, code page 936. The commas and colon are ASCII; the "！" is full-width.
// clang-format off
const char kPackagingPrefix[] =  // 已提交到服务器进行打包,订单编号:
    "\xD2\xD1\xCC\xE1\xBD\xBB\xB5\xBD\xB7\xFE\xCE\xF1\xC6\xF7\xBD\xF8\xD0\xD0\xB4\xF2\xB0\xFC,"
    "\xB6\xA9\xB5\xA5\xB1\xE0\xBA\xC5:";
const char kPackagingMessageSuffix[] =  // ,已自动复制,请前往查询获取下载地址！
    ",\xD2\xD1\xD7\xD4\xB6\xAF\xB8\xB4\xD6\xC6,\xC7\xEB\xC7\xB0\xCD\xF9\xB2\xE9\xD1\xAF\xBB\xF1"
    "\xC8\xA1\xCF\xC2\xD4\xD8\xB5\xD8\xD6\xB7\xA3\xA1";
const char kPackagingEchoSuffix[] =  // the message suffix and a line break
    ",\xD2\xD1\xD7\xD4\xB6\xAF\xB8\xB4\xD6\xC6,\xC7\xEB\xC7\xB0\xCD\xF9\xB2\xE9\xD1\xAF\xBB\xF1"
    "\xC8\xA1\xCF\xC2\xD4\xD8\xB5\xD8\xD6\xB7\xA3\xA1\r\n";

// Query texts. The "!" is ASCII, the "：" full-width.
const char kQueryMessageSuffix[] =  // 该订单不存在或正在制作中!有问题请加交流群：480315962
    "\xB8\xC3\xB6\xA9\xB5\xA5\xB2\xBB\xB4\xE6\xD4\xDA\xBB\xF2\xD5\xFD\xD4\xDA\xD6\xC6\xD7\xF7\xD6"
    "\xD0!\xD3\xD0\xCE\xCA\xCC\xE2\xC7\xEB\xBC\xD3\xBD\xBB\xC1\xF7\xC8\xBA\xA3\xBA" "480315962";
const char kQueryEchoSuffix[] =
    "\xB8\xC3\xB6\xA9\xB5\xA5\xB2\xBB\xB4\xE6\xD4\xDA\xBB\xF2\xD5\xFD\xD4\xDA\xD6\xC6\xD7\xF7\xD6"
    "\xD0!\xD3\xD0\xCE\xCA\xCC\xE2\xC7\xEB\xBC\xD3\xBD\xBB\xC1\xF7\xC8\xBA\xA3\xBA" "480315962\r\n";
// clang-format on

// The community group's join page; the real one is not known, so an address reserved for
// examples stands in.
const char kJoinPageAddress[] = "https://www.example.com/community/join";

}  // namespace

void OnStartPackagingClick() {
    const Text orderNumber = MakeOrderNumber(false);
    {
        const Text echo = ConcatText(kPackagingPrefix, orderNumber, kPackagingEchoSuffix);
        AppendText(MainWindow, NameOf(MainControl::EchoBox), echo);
    }
    {
        const Text message = ConcatText(kPackagingPrefix, orderNumber, kPackagingMessageSuffix);
        ShowMessage(message, 0);
    }
    SetText(MainWindow, NameOf(MainControl::OrderNumberBox), orderNumber);
}

void OnQueryClick() {
    OpenWebAddress(Text(kJoinPageAddress));
    {
        const Text content = GetText(MainWindow, NameOf(MainControl::OrderNumberBox));
        const Text echo = ConcatText(content, kQueryEchoSuffix);
        AppendText(MainWindow, NameOf(MainControl::EchoBox), echo);
    }
    const Text content = GetText(MainWindow, NameOf(MainControl::OrderNumberBox));
    const Text message = ConcatText(content, kQueryMessageSuffix);
    ShowMessage(message, 0);
}

namespace {

// Shows the dialog's chosen file in the icon box: read whole, then decoded and drawn by the box
// (services/win/PictureBox_win.cpp).
void ShowChosenImage() {
    Bytes picture;
    {
        const Text path = GetFileName(MainWindow, NameOf(MainControl::FileDialog));
        picture = ReadFileBytes(path);
    }
    SetPicture(MainWindow, NameOf(MainControl::IconBox), std::move(picture));
}

}  // namespace

void OnSelectImageClick() {
    RunOpenDialog(MainWindow, NameOf(MainControl::FileDialog));
    ShowChosenImage();
}

// The window layer has already made the dropped file the dialog's chosen one.
void OnImageFileDropped() {
    ShowChosenImage();
}

void OnClearImageClick() {
    SetPicture(MainWindow, NameOf(MainControl::IconBox), Bytes());
}
