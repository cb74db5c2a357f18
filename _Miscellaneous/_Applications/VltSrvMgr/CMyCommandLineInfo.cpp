#include "CMyCommandLineInfo.h"

#include <strings.h>

void CMyCommandLineInfo::ParseParam(const std::string& param, bool flag)
{
    if (flag && ::strcasecmp(param.c_str(), "BootTime") == 0)
        m_bBootTime = true;
}

void CMyCommandLineInfo::ParseArguments(const std::vector<std::string>& arguments)
{
    for (const std::string& argument : arguments) {
        const bool flag = !argument.empty() && (argument[0] == '-' || argument[0] == '/');
        ParseParam(flag ? argument.substr(1) : argument, flag);
    }
}
