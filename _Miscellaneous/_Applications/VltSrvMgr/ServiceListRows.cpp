#include "ServiceListRows.h"

#include <algorithm>

#include "CVltServiceMgr.h"
#include "IVltServiceClass.h"

std::vector<ServiceListRow> ServiceListRows(CVltServiceMgr& manager)
{
    std::vector<int32_t> ids;
    manager.GetServiceIds(ids);
    std::sort(ids.begin(), ids.end());
    std::vector<ServiceListRow> rows;
    for (int32_t id : ids) {
        ServiceListRow row;
        uint16_t port = kVltNoPort;
        if (manager.GetServiceInfo(id, &row.name, &row.description, &port) != 0)
            continue;
        row.port = port == kVltNoPort ? "---" : std::to_string(port);
        rows.push_back(std::move(row));
    }
    return rows;
}
