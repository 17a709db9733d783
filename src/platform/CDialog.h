// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/DialogUnits.h"
#include "res/DialogTemplate.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <map>

class CDataExchange;
class QScrollBar;

// Codes of the window's vertical scroll bar, as OnVScroll receives them.
enum class ScrollCode
{
    LineUp,
    LineDown,
    PageUp,
    PageDown,
    ThumbPosition, // the thumb was released at the given position
    ThumbTrack,
    Top,
    Bottom,
};

// A modal dialog built from its template: the controls are created from the
// template's data, sized in dialog units of the dialog's font, and found again
// by id. Derived dialogs bind members in DoDataExchange and react in the
// On... handlers, which the Qt events and signals call.
class CDialog : public QDialog
{
public:
    explicit CDialog(unsigned templateId, QWidget* parent = nullptr);

    // The object name every control gets, so tests and style sheets find it.
    static QString ControlObjectName(unsigned id);

    QWidget* GetDlgItem(unsigned id) const;
    template <class T> T* DlgItem(unsigned id) const { return qobject_cast<T*>(GetDlgItem(id)); }

    // Copies members to the controls (false) or the controls to the members (true).
    bool UpdateData(bool saveAndValidate = true);

    int DoModal();
    // Modeless creation: the dialog initialises now, as a modeless dialog does on
    // creation, rather than when it first shows; it stays hidden. False if it did already.
    bool Create();

    const DialogUnits& Units() const { return m_units; }
    // The area the controls live in: the window less its own scroll bar.
    QWidget* ClientArea() const { return m_client; }
    QScrollBar* VerticalScrollBar() const { return m_vScroll; }

    // Platform commands: the dialog's own OK and cancel (Escape).
    void accept() override;
    void reject() override;

protected:
    virtual void DoDataExchange(CDataExchange& dx);
    // Runs once, just before the dialog first shows.
    virtual bool OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    // The window's close request; by default the dialog ends as cancelled.
    virtual void OnClose();
    virtual void OnSize(int cx, int cy);
    virtual void OnVScroll(ScrollCode code, int position);

    void EndDialog(int result);
    // Runs `handler` when the push button `id` is clicked.
    void OnCommand(unsigned id, std::function<void()> handler);
    // Runs `handler` when the user edits the text of the editable combo box `id`;
    // text set by the program is no edit.
    void OnEditChange(unsigned id, std::function<void()> handler);
    void MoveDlgItem(unsigned id, int x, int y, int cx, int cy);
    // Moves every control to where the control with its id stands in another
    // template, and gives texts and images again; controls it lacks are skipped.
    void RelayoutFromTemplate(unsigned templateId);

    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void CreateControls(const DialogTemplate& dialogTemplate);
    void ApplyControlTemplate(const ControlTemplate& control);
    void FillFromInitData(unsigned templateId);
    void ConnectScrollBar();
    void PlaceClientArea();

    QWidget* m_client = nullptr;
    QScrollBar* m_vScroll = nullptr;
    DialogUnits m_units;
    std::map<unsigned, QWidget*> m_controls;
    bool m_bInitialised = false;
};
