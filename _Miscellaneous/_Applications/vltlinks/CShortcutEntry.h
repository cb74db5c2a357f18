#pragma once
#include <string>

// One shortcut of the context file.
struct CShortcutEntry {
    static constexpr int kFileShortcut = 0;
    static constexpr int kInternetShortcut = 1;

    std::string target;
    std::string linkName; // as read; after resolution the shortcut file's path, empty for none
    std::string comment;
    int kind = kFileShortcut;
    // After resolution: why the entry cannot be installed, printed when
    // installing; empty when it can.
    std::string refusal;
};
