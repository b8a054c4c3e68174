#include "Orvessa.h"

#include "TestCase.h"

namespace driver {

std::wstring ControlName(int id) {
    const wchar_t* kind = nullptr;
    int number = 0;
    switch (id) {
    case kEdit1:
        kind = L"\x7F16\x8F91\x6846" /* 编辑框 */;
        number = 1;
        break;
    case kEdit2:
        kind = L"\x7F16\x8F91\x6846" /* 编辑框 */;
        number = 2;
        break;
    case kEdit3:
        kind = L"\x7F16\x8F91\x6846" /* 编辑框 */;
        number = 3;
        break;
    case kEdit4:
        kind = L"\x7F16\x8F91\x6846" /* 编辑框 */;
        number = 4;
        break;
    case kEdit5:
        kind = L"\x7F16\x8F91\x6846" /* 编辑框 */;
        number = 5;
        break;
    case kEdit6:
        kind = L"\x7F16\x8F91\x6846" /* 编辑框 */;
        number = 6;
        break;
    case kEdit7:
        kind = L"\x7F16\x8F91\x6846" /* 编辑框 */;
        number = 7;
        break;
    case kEdit8:
        kind = L"\x7F16\x8F91\x6846" /* 编辑框 */;
        number = 8;
        break;
    case kLabel1:
        kind = L"\x6807\x7B7E" /* 标签 */;
        number = 1;
        break;
    case kLabel2:
        kind = L"\x6807\x7B7E" /* 标签 */;
        number = 2;
        break;
    case kLabel3:
        kind = L"\x6807\x7B7E" /* 标签 */;
        number = 3;
        break;
    case kLabel4:
        kind = L"\x6807\x7B7E" /* 标签 */;
        number = 4;
        break;
    case kLabel5:
        kind = L"\x6807\x7B7E" /* 标签 */;
        number = 5;
        break;
    case kLabel6:
        kind = L"\x6807\x7B7E" /* 标签 */;
        number = 6;
        break;
    case kLabel7:
        kind = L"\x6807\x7B7E" /* 标签 */;
        number = 7;
        break;
    case kLabel8:
        kind = L"\x6807\x7B7E" /* 标签 */;
        number = 8;
        break;
    case kButton1:
        kind = L"\x6309\x94AE" /* 按钮 */;
        number = 1;
        break;
    case kButton2:
        kind = L"\x6309\x94AE" /* 按钮 */;
        number = 2;
        break;
    case kButton3:
        kind = L"\x6309\x94AE" /* 按钮 */;
        number = 3;
        break;
    case kButton4:
        kind = L"\x6309\x94AE" /* 按钮 */;
        number = 4;
        break;
    case kGroup1:
        kind = L"\x5206\x7EC4\x6846" /* 分组框 */;
        number = 1;
        break;
    case kGroup2:
        kind = L"\x5206\x7EC4\x6846" /* 分组框 */;
        number = 2;
        break;
    case kPicture1:
        kind = L"\x56FE\x7247\x6846" /* 图片框 */;
        number = 1;
        break;
    default: return Cat(L"control ", id);
    }
    return Cat(kind, number, L" (", id, L")");
}

} // namespace driver
