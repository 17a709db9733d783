// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/CDialog.h"

#include "platform/CDataExchange.h"
#include "platform/ComboBoxItems.h"
#include "res/DialogInitData.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QShowEvent>
#include <QTreeWidget>
#include <QWheelEvent>

#include <optional>

namespace
{
QFont TemplateFont(const DialogTemplate* dialogTemplate)
{
    QFont font;
    if (dialogTemplate != nullptr)
    {
        font.setFamily(QString::fromStdU16String(dialogTemplate->fontName));
        font.setPointSize(dialogTemplate->fontPointSize);
    }
    return font;
}

std::optional<ScrollCode> ScrollCodeOf(int action)
{
    switch (action)
    {
    case QAbstractSlider::SliderSingleStepSub:
        return ScrollCode::LineUp;
    case QAbstractSlider::SliderSingleStepAdd:
        return ScrollCode::LineDown;
    case QAbstractSlider::SliderPageStepSub:
        return ScrollCode::PageUp;
    case QAbstractSlider::SliderPageStepAdd:
        return ScrollCode::PageDown;
    case QAbstractSlider::SliderToMinimum:
        return ScrollCode::Top;
    case QAbstractSlider::SliderToMaximum:
        return ScrollCode::Bottom;
    default:
        return std::nullopt;
    }
}

bool Has(unsigned style, unsigned flag)
{
    return (style & flag) != 0;
}

QWidget* CreateControl(const ControlTemplate& control, QWidget* parent)
{
    const QString text = QString::fromStdU16String(control.text);
    QWidget* widget = nullptr;
    switch (control.kind)
    {
    case ControlKind::Static:
        widget = new QLabel(text, parent);
        break;
    case ControlKind::PushButton:
    {
        auto* button = new QPushButton(text, parent);
        // Return belongs to the focused control, not to whichever button Qt would pick.
        button->setAutoDefault(false);
        widget = button;
        break;
    }
    case ControlKind::Edit:
    {
        auto* edit = new QLineEdit(text, parent);
        edit->setReadOnly(Has(control.style, ControlStyle::ReadOnly));
        edit->setFrame(Has(control.style, ControlStyle::Border));
        if (Has(control.style, ControlStyle::Password))
        {
            edit->setEchoMode(QLineEdit::Password);
        }
        widget = edit;
        break;
    }
    case ControlKind::ComboBox:
    {
        auto* combo = new QComboBox(parent);
        if (Has(control.style, ControlStyle::DropDown))
        {
            combo->setEditable(true);
            combo->setInsertPolicy(QComboBox::NoInsert);
            combo->setCompleter(nullptr);
        }
        SetComboSorted(*combo, Has(control.style, ControlStyle::Sort));
        widget = combo;
        break;
    }
    case ControlKind::Icon:
        widget = new QLabel(parent);
        break;
    case ControlKind::ListView:
    {
        auto* list = new QTreeWidget(parent);
        list->setRootIsDecorated(false);
        list->setItemsExpandable(false);
        list->setUniformRowHeights(true);
        list->setSelectionBehavior(QAbstractItemView::SelectRows);
        list->setSelectionMode(Has(control.style, ControlStyle::SingleSelection)
                                   ? QAbstractItemView::SingleSelection
                                   : QAbstractItemView::ExtendedSelection);
        list->setFrameShape(Has(control.style, ControlStyle::Border) ? QFrame::StyledPanel
                                                                     : QFrame::NoFrame);
        widget = list;
        break;
    }
    }
    if (!Has(control.style, ControlStyle::TabStop) && control.kind != ControlKind::Static)
    {
        widget->setFocusPolicy(Qt::ClickFocus);
    }
    return widget;
}
} // namespace

CDialog::CDialog(unsigned templateId, QWidget* parent)
    : QDialog(parent), m_units(TemplateFont(FindDialogTemplate(templateId)))
{
    const DialogTemplate* dialogTemplate = FindDialogTemplate(templateId);
    setFont(TemplateFont(dialogTemplate));
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("client"));
    if (dialogTemplate == nullptr)
    {
        return;
    }
    setWindowTitle(QString::fromStdU16String(dialogTemplate->caption));
    if (Has(dialogTemplate->style, DialogStyle::Child))
    {
        // A panel lies over its parent's picture: a plain child widget that paints
        // its own background, never a window of its own.
        setWindowFlags(Qt::Widget);
        setAutoFillBackground(true);
        // Hidden until asked: a child not hidden explicitly shows with its parent.
        hide();
    }
    CreateControls(*dialogTemplate);
    FillFromInitData(templateId);
    int scrollWidth = 0;
    if (Has(dialogTemplate->style, DialogStyle::VScroll))
    {
        m_vScroll = new QScrollBar(Qt::Vertical, this);
        m_vScroll->setObjectName(QStringLiteral("vscroll"));
        m_vScroll->setTracking(false);
        m_vScroll->setEnabled(false);
        scrollWidth = m_vScroll->sizeHint().width();
        ConnectScrollBar();
    }
    const QRect client = m_units.ToPixels(0, 0, dialogTemplate->cx, dialogTemplate->cy);
    resize(client.width() + scrollWidth, client.height());
    PlaceClientArea();
}

QString CDialog::ControlObjectName(unsigned id)
{
    return QStringLiteral("id%1").arg(id);
}

void CDialog::CreateControls(const DialogTemplate& dialogTemplate)
{
    for (const ControlTemplate& control : dialogTemplate.controls)
    {
        QWidget* widget = CreateControl(control, m_client);
        widget->setObjectName(ControlObjectName(control.id));
        m_controls[control.id] = widget;
        ApplyControlTemplate(control);
    }
}

// Texts and images come again from the template, so a re-layout shows what it names.
void CDialog::ApplyControlTemplate(const ControlTemplate& control)
{
    const QRect rect = m_units.ToPixels(control.x, control.y, control.cx, control.cy);
    MoveDlgItem(control.id, rect.x(), rect.y(), rect.width(), rect.height());
    auto* label = DlgItem<QLabel>(control.id);
    if (label == nullptr)
    {
        return;
    }
    if (control.kind == ControlKind::Icon)
    {
        label->setPixmap(QIcon(QString::fromStdU16String(control.text)).pixmap(rect.size()));
    }
    else if (control.kind == ControlKind::Static)
    {
        label->setText(QString::fromStdU16String(control.text));
    }
}

void CDialog::RelayoutFromTemplate(unsigned templateId)
{
    const DialogTemplate* dialogTemplate = FindDialogTemplate(templateId);
    if (dialogTemplate == nullptr)
    {
        return;
    }
    for (const ControlTemplate& control : dialogTemplate->controls)
    {
        if (GetDlgItem(control.id) != nullptr)
        {
            ApplyControlTemplate(control);
        }
    }
}

void CDialog::FillFromInitData(unsigned templateId)
{
    for (const DialogInitString& entry : FindDialogInitData(templateId))
    {
        if (auto* combo = DlgItem<QComboBox>(entry.controlId))
        {
            AddComboString(*combo, QString::fromStdU16String(entry.text));
        }
    }
}

void CDialog::ConnectScrollBar()
{
    // The handler decides where the contents go, so the bar's own step is undone first.
    connect(m_vScroll, &QAbstractSlider::actionTriggered, this,
            [this](int action)
            {
                if (action == QAbstractSlider::SliderMove)
                {
                    OnVScroll(ScrollCode::ThumbTrack, m_vScroll->sliderPosition());
                    return;
                }
                const auto code = ScrollCodeOf(action);
                if (code)
                {
                    const int before = m_vScroll->value();
                    m_vScroll->setSliderPosition(before);
                    OnVScroll(*code, before);
                }
            });
    connect(m_vScroll, &QAbstractSlider::sliderReleased, this,
            [this] { OnVScroll(ScrollCode::ThumbPosition, m_vScroll->sliderPosition()); });
}

QWidget* CDialog::GetDlgItem(unsigned id) const
{
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

bool CDialog::UpdateData(bool saveAndValidate)
{
    CDataExchange dx(*this, saveAndValidate);
    DoDataExchange(dx);
    return !dx.Failed();
}

int CDialog::DoModal()
{
    return exec();
}

bool CDialog::Create()
{
    if (m_bInitialised)
    {
        return false;
    }
    m_bInitialised = true;
    OnInitDialog();
    return true;
}

void CDialog::accept()
{
    OnOK();
}

void CDialog::reject()
{
    OnCancel();
}

void CDialog::DoDataExchange(CDataExchange&) {}

bool CDialog::OnInitDialog()
{
    UpdateData(false);
    return true;
}

void CDialog::OnOK()
{
    if (UpdateData(true))
    {
        EndDialog(QDialog::Accepted);
    }
}

void CDialog::OnCancel()
{
    EndDialog(QDialog::Rejected);
}

void CDialog::OnClose()
{
    OnCancel();
}

void CDialog::OnSize(int, int) {}

void CDialog::OnVScroll(ScrollCode, int) {}

void CDialog::EndDialog(int result)
{
    done(result);
}

void CDialog::OnCommand(unsigned id, std::function<void()> handler)
{
    if (auto* button = DlgItem<QPushButton>(id))
    {
        connect(button, &QPushButton::clicked, this, [handler = std::move(handler)] { handler(); });
    }
}

void CDialog::OnEditChange(unsigned id, std::function<void()> handler)
{
    auto* combo = DlgItem<QComboBox>(id);
    if (combo != nullptr && combo->lineEdit() != nullptr)
    {
        connect(combo->lineEdit(), &QLineEdit::textEdited, this,
                [handler = std::move(handler)] { handler(); });
    }
}

void CDialog::MoveDlgItem(unsigned id, int x, int y, int cx, int cy)
{
    QWidget* widget = GetDlgItem(id);
    if (widget == nullptr)
    {
        return;
    }
    if (qobject_cast<QComboBox*>(widget) != nullptr)
    {
        // A combo box's height includes its drop-down list, which Qt sizes on its own.
        cy = std::min(cy, widget->sizeHint().height());
    }
    widget->setGeometry(x, y, cx, cy);
    widget->update();
}

void CDialog::showEvent(QShowEvent* event)
{
    if (!m_bInitialised)
    {
        m_bInitialised = true;
        OnInitDialog();
    }
    QDialog::showEvent(event);
}

void CDialog::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    PlaceClientArea();
    OnSize(m_client->width(), m_client->height());
}

void CDialog::PlaceClientArea()
{
    const int scrollWidth = m_vScroll != nullptr ? m_vScroll->sizeHint().width() : 0;
    const int clientWidth = std::max(0, width() - scrollWidth);
    // Only the visible frame of the client area follows the window; its
    // contents keep their place, so a scrolled dialog stays scrolled.
    m_client->resize(clientWidth, height());
    if (m_vScroll != nullptr)
    {
        m_vScroll->setGeometry(clientWidth, 0, scrollWidth, height());
    }
}

void CDialog::closeEvent(QCloseEvent* event)
{
    OnClose();
    if (isVisible())
    {
        event->ignore();
    }
    else
    {
        event->accept();
    }
}

void CDialog::wheelEvent(QWheelEvent* event)
{
    // A wheel turned anywhere over a scrolling dialog moves its bar.
    if (m_vScroll != nullptr && m_vScroll->isEnabled())
    {
        QCoreApplication::sendEvent(m_vScroll, event);
        return;
    }
    QDialog::wheelEvent(event);
}
