#pragma once
// The "Status" page: the board's status flags (read on request only), its
// version texts and its hardware configuration, read again when the board
// changes on the board (hint 7: new firmware, settings read back). Read-only.
#include <QSize>
#include <QString>

#include "CSettingFormView.h"

class QLabel;
class QLineEdit;

class CForm_Status : public CSettingFormView {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 108;
    // The controls' template ids.
    enum ControlId : int {
        kRefreshId = 1025,
        kSamplesCompleteId = 1033,
        kRamFifoId = 1035,
        kSystemFpgaId = 1037,
        kHardwareId = 1038,
        kDriverId = 1039,
        kLibraryId = 1040,
        kReleaseId = 1041,
        kProcessArchId = 1042,
        kSystemArchId = 1043,
        kZabPresentId = 1044,
        kDeviceClassId = 1045,
        kZabVersionId = 1046,
        kPllLockId = 1048,
        kTimestampFifoId = 1049,
        kZabVersionLabelId = 1250,
        kExtTriggerId = 1407,
        kInputFilterId = 1431,
    };
    static constexpr uint32_t kAllFeatures = 0xFFFF;
    static constexpr int32_t kNoOverflowSupport = -572;

    explicit CForm_Status(CMainDoc& doc, QWidget* parent = nullptr);
    ~CForm_Status() override;

    static QSize GetTemplateSize();
    // The system's architecture as the page names it.
    static QString SystemArchitectureText(const QString& cpuArchitecture);

    void OnInitialUpdate() override;
    void OnDocumentUpdate(IDocView* sender, int hint, void* object) override;
    void OnRefreshFlags();

private:
    void CreateControls();
    QWidget* CreateFlagGroup();
    QWidget* CreateVersionGroup();
    QWidget* CreateConfigGroup();
    QLineEdit* AddField(QWidget* group, int row, const char* caption, int id);
    void AddDeviceClassField(QWidget* group, int row);
    void ShowVersionsAndConfiguration();
    // A read-only field shows its text from the start; ShowWholeText also
    // makes it wide enough for all of it.
    static void ShowWholeText(QLineEdit* field, const QString& text);
    static void ShowFromStart(QLineEdit* field, const QString& text);
    void ShowVersion(int id, int32_t item);
    void ShowConfiguration();
    uint32_t Features();
    QString TimestampFifoText();
};
