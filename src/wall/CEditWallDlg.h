// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "directory/CWallFile.h"

#include <QDialog>

#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QLabel;

// "Edit Wall...": any directory entry and any channel on each tile, kept under a
// name. Save and Delete write the walls file at once; Show also closes the
// dialog with the wall to show.
class CEditWallDlg final : public QDialog
{
public:
    CEditWallDlg(CWallFile& file, std::vector<NamedWall> walls,
                 const std::vector<std::u16string>& dvrNames, QWidget* parent = nullptr);

    // The wall Show chose; nothing after Close.
    const std::optional<NamedWall>& GetShown() const { return m_shown; }

private:
    void OnNameChosen();
    void OnGridChosen();
    NamedWall Edited() const;
    bool StoreEdited();
    void OnDelete();
    void FillNames();

    CWallFile& m_file;
    std::vector<NamedWall> m_walls;
    std::optional<NamedWall> m_shown;
    QComboBox* m_pName;
    QComboBox* m_pGrid;
    std::vector<QComboBox*> m_dvrs;
    std::vector<QComboBox*> m_channels;
    std::vector<QLabel*> m_labels;
    QLabel* m_pStatus;
};
