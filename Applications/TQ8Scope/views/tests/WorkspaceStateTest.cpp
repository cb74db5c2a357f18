// What the Data, DC Offset and Timestamps pages keep in a workspace file:
// stored before a save, written and read as the workspace file does, and
// found in the pages of the loaded board.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include <libxml/parser.h>

#include "CAutoXmlDoc.h"
#include "CForm_Data.h"
#include "CForm_DcOffset.h"
#include "CForm_Timestamps.h"
#include "CVltEditBrowseCtrl.h"
#include "FormTestSupport.h"

namespace {

using form_test::FormDoc;

struct Pages {
    explicit Pages(FormDoc& doc) : data(doc), dcOffset(doc), timestamps(doc)
    {
        data.OnInitialUpdate();
        dcOffset.OnInitialUpdate();
        timestamps.OnInitialUpdate();
    }
    CForm_Data data;
    CForm_DcOffset dcOffset;
    CForm_Timestamps timestamps;
};

class WorkspaceStateTest : public form_test::FormTest {};

TEST_F(WorkspaceStateTest, PagesGetBackWhatTheySaved)
{
    std::string xml = "<Device>";
    {
        FormDoc& doc = NewDoc();
        Pages pages(doc);
        pages.data.ItemAs<QLineEdit>(CForm_Data::kStartSampleId)->setText(QStringLiteral("4,096"));
        pages.data.ItemAs<QComboBox>(CForm_Data::kSampleCountId)->setEditText(QStringLiteral("65536"));
        pages.data.ItemAs<QCheckBox>(CForm_Data::kLimitPlotId)->setChecked(false);
        pages.dcOffset.ItemAs<QComboBox>(CForm_DcOffset::kSyncSourceId)->setCurrentIndex(2);
        pages.timestamps.ItemAs<CVltEditBrowseCtrl>(CForm_Timestamps::kDestinationId)->SetText(L"/data/run 1/ts");
        pages.timestamps.ItemAs<QCheckBox>(CForm_Timestamps::kAsTextId)->setChecked(true);
        doc.BeforeWorkspaceSave();
        EXPECT_TRUE(doc.IsModified());
        doc.SetModified(false);
        doc.BeforeWorkspaceSave(); // nothing changed since
        EXPECT_FALSE(doc.IsModified());
        doc.WriteWorkspaceState(xml);
    }
    xml += "</Device>";

    CAutoXmlDoc parsed(xmlReadMemory(xml.data(), int(xml.size()), nullptr, nullptr, XML_PARSE_NONET));
    ASSERT_NE(parsed.Get(), nullptr) << xml;
    FormDoc& loaded = NewDoc();
    Pages pages(loaded);
    ASSERT_TRUE(loaded.ReadWorkspaceState(xmlDocGetRootElement(parsed.Get())));
    loaded.AfterWorkspaceLoad();
    EXPECT_EQ(pages.data.ItemAs<QLineEdit>(CForm_Data::kStartSampleId)->text(), QStringLiteral("4,096"));
    EXPECT_EQ(pages.data.ItemAs<QComboBox>(CForm_Data::kSampleCountId)->currentText(), QStringLiteral("65,536"));
    EXPECT_FALSE(pages.data.ItemAs<QCheckBox>(CForm_Data::kLimitPlotId)->isChecked());
    EXPECT_FALSE(loaded.IsPlotDataLimited());
    EXPECT_EQ(pages.dcOffset.ItemAs<QComboBox>(CForm_DcOffset::kSyncSourceId)->currentIndex(), 2);
    EXPECT_EQ(pages.timestamps.ItemAs<CVltEditBrowseCtrl>(CForm_Timestamps::kDestinationId)->GetText(), L"/data/run 1/ts");
    EXPECT_TRUE(pages.timestamps.ItemAs<QCheckBox>(CForm_Timestamps::kAsTextId)->isChecked());
}

} // namespace
