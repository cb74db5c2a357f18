#pragma once
// Stand-ins for the views, forms and tool windows of a board document that
// record what the document asks of them.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <QWidget>

#include "IActionForm.h"
#include "IDataForm.h"
#include "IDocView.h"
#include "IFreqDomainWindow.h"
#include "IScopePanel.h"

namespace doc_test {

class FakeView : public IDocView {
public:
    void OnDocumentUpdate(IDocView* sender, int hint, void* object) override
    {
        updates.push_back({sender, hint});
        lastObject = object;
    }
    std::vector<std::pair<IDocView*, int>> updates;
    void* lastObject = nullptr;
};

class FakeScopePanel : public IScopePanel {
public:
    int32_t AddBoardSource(TQ8_HANDLE, CMainDoc*) override
    {
        ++boardSources;
        return boardSourceId;
    }
    bool RemoveBoardSource() override
    {
        ++boardRemovals;
        return hasBoardSource;
    }
    bool ShowSnapshot(const uint8_t* samples, uint32_t count, int32_t channels, uint32_t, TQ8_HANDLE) override
    {
        snapshots.push_back({count, channels});
        lastSnapshot.assign(samples, samples + count);
        return showSnapshotResult;
    }
    void RemoveSnapshotSource() override { ++snapshotRemovals; }
    int32_t GetSnapshotSourceId() const override { return snapshotSourceId; }
    void ApplySampleLimit(uint32_t count) override { limits.push_back(count); }
    void OnOpenFileForPlotting() override { ++fileDialogs; }
    void AddFileSource(const std::wstring& path) override { files.push_back(path); }

    int32_t boardSourceId = 1;
    int32_t snapshotSourceId = 2;
    bool showSnapshotResult = true;
    bool hasBoardSource = true;
    int boardSources = 0;
    int boardRemovals = 0;
    int snapshotRemovals = 0;
    int fileDialogs = 0;
    std::vector<std::pair<uint32_t, int32_t>> snapshots; // count, channels
    std::vector<uint8_t> lastSnapshot;
    std::vector<uint32_t> limits;
    std::vector<std::wstring> files;
};

class FakeActionForm : public IActionForm {
public:
    void SetAcquisitionActiveTimer(unsigned ms) override { timers.push_back(ms); }
    bool IsAcquireContinuouslyChecked() const override { return continuous; }
    void SetAcquireContinuouslyChecked(bool on) override { continuous = on; }
    std::vector<unsigned> timers;
    bool continuous = false;
};

class FakeDataForm : public IDataForm {
public:
    bool ApplyActiveMemoryRegion() override
    {
        ++applied;
        return result;
    }
    bool result = true;
    int applied = 0;
};

class FakeFreqWindow : public IFreqDomainWindow {
public:
    FakeFreqWindow() : m_widget(std::make_unique<QWidget>()) {}
    QWidget* Widget() override { return m_widget.get(); }
    void LoadOptions() override { ++optionLoads; }
    void UpdateSpectra(int32_t srcId) override { spectra.push_back(srcId); }
    void OnSourceAdded(uint32_t srcId) override { added.push_back(srcId); }
    void OnSourceRemoved(uint32_t srcId) override { removed.push_back(srcId); }
    void OnPlotSelectionChanged() override { ++selectionChanges; }

    int optionLoads = 0;
    int selectionChanges = 0;
    std::vector<int32_t> spectra;
    std::vector<uint32_t> added;
    std::vector<uint32_t> removed;

private:
    std::unique_ptr<QWidget> m_widget;
};

} // namespace doc_test
