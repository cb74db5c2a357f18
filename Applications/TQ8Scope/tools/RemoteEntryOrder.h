#pragma once
// The order of the remote file dialog's rows for a sort column and
// direction.
#include <cstdint>

#include "CRemoteFileEntry.h"

class RemoteFileTypes;

class RemoteEntryOrder {
public:
    enum Column { kName = 0, kSize = 1, kType = 2, kDate = 3 };

    RemoteEntryOrder(int column, bool descending, bool computerLevel, const RemoteFileTypes& types);
    // Negative, 0 or positive as a comes before, with or after b.
    int Compare(const CRemoteFileEntry& a, const CRemoteFileEntry& b) const;
    bool operator()(const CRemoteFileEntry& a, const CRemoteFileEntry& b) const { return Compare(a, b) < 0; }

    // A click on a header: the same column toggles the direction, another
    // sorts ascending.
    static void OnHeaderClick(int clicked, int& column, bool& descending);

private:
    int CompareAscending(const CRemoteFileEntry& a, const CRemoteFileEntry& b) const;
    int CompareTypes(const CRemoteFileEntry& a, const CRemoteFileEntry& b) const;

    int m_column;
    bool m_descending;
    bool m_computerLevel;
    const RemoteFileTypes& m_types;
};
