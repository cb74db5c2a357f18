#pragma once
// The rows of the service list: one per registered service class, in the
// order of their identifiers.
#include <string>
#include <vector>

class CVltServiceMgr;

struct ServiceListRow {
    std::string name;
    std::string port;        // "---" for a service without a listener
    std::string description; // empty when the class gives none
};

// A class whose information cannot be had is left out.
std::vector<ServiceListRow> ServiceListRows(CVltServiceMgr& manager);
