#include "ClocksFormRules.h"

#include <cstdio>

#include "TextConv.h"

namespace clocksform {

namespace {

std::wstring Printf(const char* format, double value)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, format, value);
    return vlt::Utf8ToWide(buf);
}

} // namespace

const std::map<uint32_t, uint32_t>& DividerTable()
{
    static const std::map<uint32_t, uint32_t> table = [] {
        std::map<uint32_t, uint32_t> t;
        for (uint32_t div1 = 1; div1 <= 32; ++div1)
            for (uint32_t div2 = 1; div2 <= 6; ++div2)
                t[div1 * div2] = PackDividers(div1, div2);
        return t;
    }();
    return table;
}

std::vector<DividerItem> DividerListItems(double externalRate)
{
    std::vector<DividerItem> items;
    for (const auto& [product, packed] : DividerTable()) {
        if (externalRate == 0.0) {
            items.push_back({L"Ext. rate ÷ " + std::to_wstring(product), packed});
            continue;
        }
        const double rate = externalRate / product;
        if (rate >= kMinDividedRate)
            items.push_back({Printf("%0.3f MHz", rate), packed});
    }
    return items;
}

int DividerSelection(const std::vector<DividerItem>& items, uint32_t div1, uint32_t div2)
{
    const uint32_t wanted = PackDividers(div1, div2);
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].packed == wanted)
            return int(i);
    for (size_t i = 0; i < items.size(); ++i)
        if (Divider1(items[i].packed) * Divider2(items[i].packed) == div1 * div2)
            return int(i);
    return -1;
}

std::wstring DividerText(uint32_t div1, uint32_t div2)
{
    return L"÷" + std::to_wstring(div1 * div2) + L" (÷" + std::to_wstring(div1) + L"÷" + std::to_wstring(div2) +
           L")";
}

std::vector<std::wstring> PostAdcItems(double adcRate)
{
    std::vector<std::wstring> items;
    for (int i = 0; i <= 5; ++i) {
        const int factor = 1 << i;
        items.push_back(adcRate != 0.0 ? Printf("%0.3f MHz", adcRate / factor)
                                       : L"ADC rate ÷ " + std::to_wstring(factor));
    }
    return items;
}

std::wstring RateRangeText(bool interleaved)
{
    const double low = interleaved ? tq8::kMinInterleavedRateMHz : tq8::kMinRateMHz;
    return L"MHz [" + std::to_wstring(int(low)) + L", " + std::to_wstring(int(tq8::kMaxRateMHz)) + L"]";
}

std::wstring RateText(double rate)
{
    return Printf("%0.3f", rate);
}

Enables DecideEnables(int32_t source, int32_t masterSlave, bool hasMaster)
{
    const bool slaveWithMaster = (masterSlave == 2 || masterSlave == 3) && hasMaster;
    return {source == 0, source != 0 && !slaveWithMaster, source == 1};
}

} // namespace clocksform
