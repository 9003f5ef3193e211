#include "StringTable.h"

#include <array>

namespace brevio::resources {

namespace {

// The texts of IDs 128 to 165, in ID order. UTF-16, as the window texts take them.
constexpr std::array<const char16_t*, kLastStringId - kFirstStringId + 1> kStrings = {
    u"Albumora EX",                                                               // 128
    u"另存为",                                                                    // 129
    u"BrevioEditDLG",                                                             // 130
    u"Main dialog creation failed !",                                             // 131
    u"BrevioEdit",                                                                // 132
    u".mov",                                                                      // 133
    u"BRV",                                                                       // 134
    u"无法创建临时文件。",                                                        // 135
    u"无法将文件保存在此文件夹中。请选择其它文件夹，然后再试一次。",              // 136
    u"MOV 文件 (*.mov)|*.mov||",                                                  // 137
    u"mov",                                                                       // 138
    u"无标题",                                                                    // 139
    u"由于已存在相同名称的文件而无法保存文件。请更改文件名，然后再试一次。",      // 140
    u"撤消",                                                                      // 141
    u"恢复",                                                                      // 142
    u"保存",                                                                      // 143
    u"剪切场景",                                                                  // 144
    u"取消",                                                                      // 145
    u"MS Shell Dlg",                                                              // 146
    u"选定的秒数:",                                                               // 147
    u"从Brevio中剪切选定场景。",                                                  // 148
    u"1. 播放短片，然后在要剪切的场景处暂停。",                                   // 149
    u"2. 从缩略图视图中选择要剪切的场景。",                                       // 150
    u"3. 单击 [剪切场景] 以剪切选定场景。",                                       // 151
    u"4. 单击 [保存] 以保存经过编辑的短片。",                                     // 152
    u"尚未保存剪辑影片。您是否确定要继续?",                                       // 153
    u"取消",                                                                      // 154
    u"当前编辑的Brevio已更改。\n编辑操作将关闭。",                                // 155
    u"保存在以上文件中。请稍候。",                                                // 156
    u"因为在保存时出错，无法保存编辑结果。",                                      // 157
    u"1. 从缩略图视图中选择要剪切的场景。",                                       // 158
    u"2. 单击 [剪切场景] 以剪切选定场景。",                                       // 159
    u"3. 单击 [保存] 以保存经过编辑的短片。",                                     // 160
    u"没有指定输出文件名。",                                                      // 161
    u"保存时源影片已更改。",                                                      // 162
    u"源影片在保存时提前结束。",                                                  // 163
    u"无法写入该影片。",                                                          // 164
    u"文件名无效。文件名不能为空，也不能以点开头。请更改文件名，然后再试一次。",  // 165
};

}  // namespace

std::u16string_view FindString(uint32_t id) {
    if (id < kFirstStringId || id > kLastStringId) return {};
    const char16_t* text = kStrings[id - kFirstStringId];
    return text != nullptr ? std::u16string_view(text) : std::u16string_view();
}

}  // namespace brevio::resources
