// SPDX-License-Identifier: GPL-3.0-or-later
#include "wall/CEditWallDlg.h"

#include "directory/DvrEntry.h"
#include "directory/GridLayout.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace
{
constexpr int kMaxTiles = 16;
constexpr int kChannels = 16;
const QString kNoCamera = QStringLiteral("(none)");

QString GridText(int columns)
{
    return QStringLiteral("%1 \u00d7 %1").arg(columns);
}

QPushButton* AddButton(QHBoxLayout& row, const QString& text, const QString& name)
{
    auto* button = new QPushButton(text);
    button->setObjectName(name);
    row.addWidget(button);
    return button;
}
} // namespace

CEditWallDlg::CEditWallDlg(CWallFile& file, std::vector<NamedWall> walls,
                           const std::vector<std::u16string>& dvrNames, QWidget* parent)
    : QDialog(parent), m_file(file), m_walls(std::move(walls)), m_pName(new QComboBox),
      m_pGrid(new QComboBox), m_pStatus(new QLabel)
{
    setObjectName(QStringLiteral("editWall"));
    m_pStatus->setObjectName(QStringLiteral("status"));
    setWindowTitle(QStringLiteral("Edit Wall"));
    m_pName->setObjectName(QStringLiteral("wallName"));
    m_pName->setEditable(true);
    m_pName->setInsertPolicy(QComboBox::NoInsert);
    m_pGrid->setObjectName(QStringLiteral("wallGrid"));
    for (int columns = 2; columns <= 4; ++columns)
    {
        m_pGrid->addItem(GridText(columns), columns);
    }
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Wall")));
    top->addWidget(m_pName, 1);
    top->addWidget(m_pGrid);

    auto* tiles = new QGridLayout;
    for (int i = 0; i < kMaxTiles; ++i)
    {
        auto* label = new QLabel(QStringLiteral("Tile %1").arg(i + 1));
        auto* dvr = new QComboBox;
        dvr->setObjectName(QStringLiteral("tileDvr%1").arg(i));
        dvr->addItem(kNoCamera);
        for (const std::u16string& name : dvrNames)
        {
            dvr->addItem(QString::fromStdU16String(name));
        }
        auto* channel = new QComboBox;
        channel->setObjectName(QStringLiteral("tileChannel%1").arg(i));
        for (int c = 0; c < kChannels; ++c)
        {
            channel->addItem(QString::fromStdU16String(ChannelLabel(c)));
        }
        const int row = i % 8;
        const int column = (i / 8) * 3;
        tiles->addWidget(label, row, column);
        tiles->addWidget(dvr, row, column + 1);
        tiles->addWidget(channel, row, column + 2);
        m_labels.push_back(label);
        m_dvrs.push_back(dvr);
        m_channels.push_back(channel);
    }

    auto* buttons = new QHBoxLayout;
    QPushButton* show = AddButton(*buttons, QStringLiteral("Show"), QStringLiteral("show"));
    QPushButton* save = AddButton(*buttons, QStringLiteral("Save"), QStringLiteral("save"));
    QPushButton* remove = AddButton(*buttons, QStringLiteral("Delete"), QStringLiteral("delete"));
    QPushButton* close = AddButton(*buttons, QStringLiteral("Close"), QStringLiteral("close"));
    show->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(tiles);
    layout->addWidget(m_pStatus);
    layout->addLayout(buttons);

    connect(show, &QPushButton::clicked, this,
            [this]
            {
                if (StoreEdited())
                {
                    m_shown = Edited();
                    accept();
                }
            });
    connect(save, &QPushButton::clicked, this, [this] { StoreEdited(); });
    connect(remove, &QPushButton::clicked, this, [this] { OnDelete(); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_pName, &QComboBox::activated, this, [this] { OnNameChosen(); });
    connect(m_pGrid, &QComboBox::currentIndexChanged, this, [this] { OnGridChosen(); });
    FillNames();
    OnNameChosen();
}

void CEditWallDlg::FillNames()
{
    const QString current = m_pName->currentText();
    m_pName->clear();
    for (const NamedWall& wall : m_walls)
    {
        m_pName->addItem(QString::fromStdU16String(wall.name));
    }
    m_pName->setEditText(current.isEmpty() && !m_walls.empty()
                             ? QString::fromStdU16String(m_walls.front().name)
                             : current);
}

void CEditWallDlg::OnNameChosen()
{
    const std::u16string name = m_pName->currentText().toStdU16String();
    const auto it = std::find_if(m_walls.begin(), m_walls.end(),
                                 [&](const NamedWall& w) { return w.name == name; });
    if (it == m_walls.end())
    {
        OnGridChosen();
        return;
    }
    m_pGrid->setCurrentIndex(m_pGrid->findData(it->columns));
    for (int i = 0; i < kMaxTiles; ++i)
    {
        const WallTile tile = static_cast<size_t>(i) < it->tiles.size()
                                  ? it->tiles[static_cast<size_t>(i)]
                                  : WallTile{};
        const int found =
            m_dvrs[static_cast<size_t>(i)]->findText(QString::fromStdU16String(tile.dvrName));
        m_dvrs[static_cast<size_t>(i)]->setCurrentIndex(tile.dvrName.empty() || found < 0 ? 0
                                                                                          : found);
        m_channels[static_cast<size_t>(i)]->setCurrentIndex(tile.channel);
    }
    OnGridChosen();
}

void CEditWallDlg::OnGridChosen()
{
    const int columns = m_pGrid->currentData().toInt();
    for (int i = 0; i < kMaxTiles; ++i)
    {
        const bool used = i < columns * columns;
        m_labels[static_cast<size_t>(i)]->setVisible(used);
        m_dvrs[static_cast<size_t>(i)]->setVisible(used);
        m_channels[static_cast<size_t>(i)]->setVisible(used);
    }
}

NamedWall CEditWallDlg::Edited() const
{
    NamedWall wall;
    // A line break would end the wall's line in the file.
    wall.name = m_pName->currentText().simplified().toStdU16String();
    wall.columns = m_pGrid->currentData().toInt();
    for (int i = 0; i < wall.columns * wall.columns; ++i)
    {
        const QComboBox& dvr = *m_dvrs[static_cast<size_t>(i)];
        wall.tiles.push_back(dvr.currentIndex() <= 0
                                 ? WallTile{}
                                 : WallTile{dvr.currentText().toStdU16String(),
                                            m_channels[static_cast<size_t>(i)]->currentIndex()});
    }
    return wall;
}

bool CEditWallDlg::StoreEdited()
{
    const NamedWall wall = Edited();
    if (wall.name.empty())
    {
        m_pStatus->setText(QStringLiteral("Give the wall a name."));
        return false;
    }
    // --layout and the start-up restore read these names as the built-in grids.
    if (ParseGridLayout(wall.name))
    {
        m_pStatus->setText(QStringLiteral("\"%1\" is a layout of the Layout menu; give the "
                                          "wall another name.")
                               .arg(QString::fromStdU16String(wall.name)));
        return false;
    }
    std::vector<NamedWall> walls = m_walls;
    const auto it = std::find_if(walls.begin(), walls.end(),
                                 [&](const NamedWall& w) { return w.name == wall.name; });
    if (it == walls.end())
    {
        walls.push_back(wall);
    }
    else
    {
        *it = wall;
    }
    if (!m_file.Save(walls))
    {
        m_pStatus->setText(QStringLiteral("The walls could not be saved in %1.")
                               .arg(QString::fromStdString(m_file.Path().string())));
        return false;
    }
    m_walls = std::move(walls);
    FillNames();
    m_pStatus->setText(QStringLiteral("Saved."));
    return true;
}

void CEditWallDlg::OnDelete()
{
    const std::u16string name = m_pName->currentText().toStdU16String();
    std::vector<NamedWall> walls = m_walls;
    std::erase_if(walls, [&](const NamedWall& w) { return w.name == name; });
    if (walls.size() == m_walls.size())
    {
        return;
    }
    if (!m_file.Save(walls))
    {
        m_pStatus->setText(QStringLiteral("The walls could not be saved in %1.")
                               .arg(QString::fromStdString(m_file.Path().string())));
        return;
    }
    m_walls = std::move(walls);
    m_pName->setEditText(QString());
    FillNames();
    OnNameChosen();
    m_pStatus->setText(QStringLiteral("Deleted."));
}
