#include <gtest/gtest.h>

#include <array>
#include <memory>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

#include "CFormView_WithEdit.h"
#include "SharedTestApp.h"

namespace {

using Form = CFormView_WithEdit;

// Enabled state of Undo, Redo, Cut, Copy, Paste in that order.
std::array<bool, 5> States()
{
    std::array<bool, 5> states{};
    const unsigned ids[] = {Form::ID_EDIT_UNDO, Form::ID_EDIT_REDO, Form::ID_EDIT_CUT, Form::ID_EDIT_COPY,
                            Form::ID_EDIT_PASTE};
    for (size_t i = 0; i < 5; ++i)
        EXPECT_TRUE(Form::GetEditCommandState(ids[i], states[i]));
    return states;
}

class FormViewWithEdit : public ::testing::Test {
protected:
    void SetUp() override
    {
        SharedTestApp();
        formPtr = std::make_unique<Form>(107);
        Form& form = *formPtr;
        auto* layout = new QVBoxLayout(&form);
        edit = new QLineEdit(&form);
        readOnly = new QLineEdit(QStringLiteral("fixed"), &form);
        readOnly->setReadOnly(true);
        combo = new QComboBox(&form);
        combo->setEditable(true);
        combo->addItems({QStringLiteral("16,384"), QStringLiteral("32,768")});
        button = new QPushButton(QStringLiteral("Update"), &form);
        for (QWidget* w : {static_cast<QWidget*>(edit), static_cast<QWidget*>(readOnly),
                           static_cast<QWidget*>(combo), static_cast<QWidget*>(button)})
            layout->addWidget(w);
        form.show();
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
        QGuiApplication::clipboard()->setText(QStringLiteral("0x10"));
    }
    void Focus(QWidget* w)
    {
        w->setFocus();
        QCoreApplication::processEvents();
    }

    std::unique_ptr<Form> formPtr;
    QLineEdit* edit = nullptr;
    QLineEdit* readOnly = nullptr;
    QComboBox* combo = nullptr;
    QPushButton* button = nullptr;
};

TEST_F(FormViewWithEdit, EnableRulesFollowTheFocusedField)
{
    EXPECT_EQ(formPtr->GetTemplateId(), 107);
    Focus(edit);
    EXPECT_EQ(States(), (std::array<bool, 5>{false, false, false, false, true}));
    QTest::keyClicks(edit, "1024");
    edit->selectAll();
    EXPECT_EQ(States(), (std::array<bool, 5>{true, false, true, true, true}));

    // Read-only: no paste though the clipboard holds text.
    Focus(readOnly);
    readOnly->selectAll();
    EXPECT_EQ(States(), (std::array<bool, 5>{false, false, true, true, false}));

    // The combo box's own field: Cut and Copy only with a selection.
    Focus(combo);
    ASSERT_EQ(Form::FocusedEditControl(), combo->lineEdit());
    combo->lineEdit()->deselect();
    EXPECT_EQ(States()[2], false);
    EXPECT_EQ(States()[3], false);
    combo->lineEdit()->selectAll();
    EXPECT_EQ(States()[2], true);
    EXPECT_EQ(States()[3], true);

    // Anything else: all five disabled, and the commands do nothing.
    Focus(button);
    EXPECT_EQ(States(), (std::array<bool, 5>{}));
    EXPECT_TRUE(Form::OnEditCommand(Form::ID_EDIT_PASTE));
    EXPECT_EQ(edit->text(), QStringLiteral("1024"));

    bool enabled = true;
    EXPECT_FALSE(Form::GetEditCommandState(57600, enabled));
    EXPECT_FALSE(Form::OnEditCommand(57600));
}

TEST_F(FormViewWithEdit, CommandsActOnTheFocusedField)
{
    Focus(edit);
    QTest::keyClicks(edit, "1024");
    edit->selectAll();
    EXPECT_TRUE(Form::OnEditCommand(Form::ID_EDIT_CUT));
    EXPECT_EQ(edit->text(), QString());
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("1024"));
    EXPECT_TRUE(Form::OnEditCommand(Form::ID_EDIT_UNDO));
    EXPECT_EQ(edit->text(), QStringLiteral("1024"));
    EXPECT_TRUE(Form::OnEditCommand(Form::ID_EDIT_REDO));
    EXPECT_EQ(edit->text(), QString());
    EXPECT_TRUE(Form::OnEditCommand(Form::ID_EDIT_PASTE));
    EXPECT_EQ(edit->text(), QStringLiteral("1024"));

    Focus(combo);
    combo->lineEdit()->selectAll();
    EXPECT_TRUE(Form::OnEditCommand(Form::ID_EDIT_COPY));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("16,384"));
}

TEST_F(FormViewWithEdit, CutLeavesAReadOnlyFieldAlone)
{
    Focus(readOnly);
    readOnly->selectAll();
    EXPECT_TRUE(Form::OnEditCommand(Form::ID_EDIT_CUT));
    EXPECT_EQ(readOnly->text(), QStringLiteral("fixed"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("0x10"));
}

} // namespace
