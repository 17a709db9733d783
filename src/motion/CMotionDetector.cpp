// SPDX-License-Identifier: GPL-3.0-or-later
#include "motion/CMotionDetector.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace
{
struct Thresholds
{
    float noiseFactor; // a change beyond this many times the cell's noise counts
    float floor;       // and beyond this many grey levels, however quiet the cell
    int groupCells;    // neighbouring changed cells that make motion
};

Thresholds ThresholdsFor(MotionSensitivity sensitivity)
{
    switch (sensitivity)
    {
    case MotionSensitivity::Low:
        return {6.0f, 6.0f, 5};
    case MotionSensitivity::High:
        return {3.5f, 2.5f, 2};
    case MotionSensitivity::Medium:
        break;
    }
    return {4.5f, 4.0f, 3};
}

// Until a cell has shown its noise, it is taken to be this.
constexpr float kFirstNoise = 1.0f;
constexpr float kLeastNoise = 0.1f;
// A background follows a still cell within a few seconds of looks and a changed one
// within a minute, so what stops moving (a parked car) joins the scene.
constexpr float kFollowStill = 0.1f;
constexpr float kFollowChanged = 0.005f;
constexpr float kNoiseFollow = 0.05f;
// A change of the light that moves some grey level by more than this between two looks
// is the camera's (an exposure step, a lamp), not the scene's.
constexpr float kWholeLightStep = 6.0f;
// The fit is a line, so its largest move over the greys that matter is at their ends.
constexpr float kDarkGrey = 16.0f;
constexpr float kBrightGrey = 240.0f;
// Clipped cells tell nothing about the light.
constexpr float kClipped = 250.0f;
} // namespace

void CMotionDetector::SetSensitivity(MotionSensitivity sensitivity)
{
    m_sensitivity.store(sensitivity, std::memory_order_relaxed);
}

MotionSensitivity CMotionDetector::GetSensitivity() const
{
    return m_sensitivity.load(std::memory_order_relaxed);
}

void CMotionDetector::Restart()
{
    m_bRestart.store(true, std::memory_order_release);
    m_motionUntil.store(0, std::memory_order_relaxed);
    m_intervals.Clear();
}

void CMotionDetector::TakeFrom(CMotionDetector& from)
{
    if (&from == this)
    {
        return;
    }
    m_bRestart.store(true, std::memory_order_release);
    m_motionUntil.store(from.m_motionUntil.load(std::memory_order_relaxed),
                        std::memory_order_relaxed);
    m_intervals.TakeFrom(from.m_intervals);
    from.Restart();
}

bool CMotionDetector::IsMotion(Clock::time_point now) const
{
    const Clock::rep until = m_motionUntil.load(std::memory_order_relaxed);
    return until != 0 && now.time_since_epoch().count() < until;
}

CMotionDetector::Clock::time_point CMotionDetector::GetMotionUntil() const
{
    return Clock::time_point(Clock::duration(m_motionUntil.load(std::memory_order_relaxed)));
}

bool CMotionDetector::IsDue(Clock::time_point arrived, bool decoded) const
{
    const Clock::rep last = m_lastLook.load(std::memory_order_relaxed);
    if (last == 0 || m_bRestart.load(std::memory_order_acquire))
    {
        return true;
    }
    const bool lastDecoded = m_bLastLookDecoded.load(std::memory_order_relaxed);
    const Clock::duration interval =
        decoded
            ? (lastDecoded ? Clock::duration(kLookInterval) : Clock::duration(kLookInterval / 2))
            : (lastDecoded ? Clock::duration(kLookInterval + kDecodedLookGrace)
                           : Clock::duration(kLookInterval));
    return arrived.time_since_epoch().count() - last >= interval.count();
}

void CMotionDetector::NoteLook(Clock::time_point arrived, bool decoded)
{
    m_bLookChangedHands = m_lastLook.load(std::memory_order_relaxed) != 0 &&
                          m_bLastLookDecoded.load(std::memory_order_relaxed) != decoded;
    m_lastLook.store(std::max<Clock::rep>(1, arrived.time_since_epoch().count()),
                     std::memory_order_relaxed);
    m_bLastLookDecoded.store(decoded, std::memory_order_relaxed);
}

bool CMotionDetector::WantsDecodedLook(Clock::time_point arrived) const
{
    return IsDue(arrived, true);
}

CMotionDetector::Verdict CMotionDetector::OnFrame(const uint8_t* jpeg, size_t length,
                                                  Clock::time_point arrived)
{
    if (m_bRestart.exchange(false, std::memory_order_acquire))
    {
        m_lastLook.store(0, std::memory_order_relaxed);
        m_nWidth = 0;
    }
    if (!IsDue(arrived, false))
    {
        return Verdict::Skipped;
    }
    // A frame that cannot be read has cost its decode as well, so it counts as a look.
    NoteLook(arrived, false);
    if (!m_sampler.Sample(jpeg, length))
    {
        return Verdict::Unreadable;
    }
    return OnLuma(m_sampler.GetLuma(), m_sampler.GetWidth(), m_sampler.GetHeight(),
                  static_cast<size_t>(m_sampler.GetWidth()), arrived);
}

CMotionDetector::Verdict CMotionDetector::OnDecoded(const uint8_t* bottomUpBgr, int width,
                                                    int height, size_t stride, int sourceWidth,
                                                    int sourceHeight, Clock::time_point arrived)
{
    if (m_bRestart.exchange(false, std::memory_order_acquire))
    {
        m_lastLook.store(0, std::memory_order_relaxed);
        m_nWidth = 0;
    }
    // The receiver, or another worker, may have looked since the look was asked for.
    if (!IsDue(arrived, true))
    {
        return Verdict::Skipped;
    }
    if (!m_sampler.Reduce(bottomUpBgr, width, height, stride, sourceWidth, sourceHeight))
    {
        return Verdict::Unreadable;
    }
    NoteLook(arrived, true);
    m_nDecodedLooks.fetch_add(1, std::memory_order_relaxed);
    return OnLuma(m_sampler.GetLuma(), m_sampler.GetWidth(), m_sampler.GetHeight(),
                  static_cast<size_t>(m_sampler.GetWidth()), arrived);
}

CMotionDetector::Verdict CMotionDetector::OnLuma(const uint8_t* luma, int width, int height,
                                                 size_t stride, Clock::time_point arrived)
{
    if (m_bRestart.exchange(false, std::memory_order_acquire))
    {
        m_nWidth = 0;
    }
    if (!luma || width <= 0 || height <= 0 || stride < static_cast<size_t>(width))
    {
        return Verdict::Unreadable;
    }
    const bool changedHands = std::exchange(m_bLookChangedHands, false);
    const bool newScene = width != m_nWidth || height != m_nHeight;
    if (newScene)
    {
        m_nWidth = width;
        m_nHeight = height;
        m_nColumns = std::min(kColumns, width);
        m_nRows = std::min(kRows, height);
        m_columnOf.resize(static_cast<size_t>(width));
        for (int x = 0; x < width; ++x)
        {
            m_columnOf[static_cast<size_t>(x)] = static_cast<uint16_t>(x * m_nColumns / width);
        }
        const size_t cells = static_cast<size_t>(m_nColumns * m_nRows);
        m_level.assign(cells, 0.0f);
        m_changed.assign(cells, 0);
        m_cells.assign(cells, Cell{});
        m_groupOf.assign(cells, 0);
        m_rowSums.assign(static_cast<size_t>(m_nColumns), 0);
        m_counts.assign(static_cast<size_t>(m_nColumns), 0);
        m_sortedResiduals.reserve(cells);
        m_residuals.assign(cells, 0.0f);
        m_members.reserve(cells);
    }
    Measure(luma, width, height, stride);
    if (newScene)
    {
        for (size_t i = 0; i < m_cells.size(); ++i)
        {
            m_cells[i] = {m_level[i], kFirstNoise};
        }
        return Verdict::Learning;
    }
    // The two ways of looking differ by a grey level or two at sharp coloured edges,
    // which a still scene's thresholds would take for motion: the new way learns its
    // own background, and keeps the cells' noise.
    if (changedHands)
    {
        Learn();
        return Verdict::Learning;
    }

    const Thresholds thresholds = ThresholdsFor(GetSensitivity());
    const Light light = FitLight();
    if (std::max(std::fabs(light.gain * kDarkGrey + light.offset - kDarkGrey),
                 std::fabs(light.gain * kBrightGrey + light.offset - kBrightGrey)) >
        kWholeLightStep)
    {
        Learn();
        return Verdict::WholePicture;
    }
    size_t changedCells = 0;
    for (size_t i = 0; i < m_cells.size(); ++i)
    {
        const float expected =
            std::clamp(m_cells[i].background * light.gain + light.offset, 0.0f, 255.0f);
        const float threshold =
            std::max(thresholds.floor, thresholds.noiseFactor * m_cells[i].noise);
        m_changed[i] = std::fabs(m_level[i] - expected) > threshold ? 1 : 0;
        changedCells += m_changed[i];
        m_cells[i].background = expected;
    }
    // The camera turned or the light went out: no place moved, the whole view did.
    if (changedCells * 2 > m_cells.size())
    {
        Learn();
        return Verdict::WholePicture;
    }
    const bool motion = LargestGroup() >= thresholds.groupCells;
    for (size_t i = 0; i < m_cells.size(); ++i)
    {
        Cell& cell = m_cells[i];
        const float difference = m_level[i] - cell.background;
        cell.background += difference * (m_changed[i] ? kFollowChanged : kFollowStill);
        // A change with no changed neighbour is how this cell flickers: part of its noise,
        // within bounds, so a waving branch raises its own threshold and not the rest.
        if (!m_changed[i] || m_groupOf[i] == 1)
        {
            const float bounded =
                std::min(std::fabs(difference), 2.0f * std::max(thresholds.floor, cell.noise));
            cell.noise = std::max(kLeastNoise, cell.noise + (bounded - cell.noise) * kNoiseFollow);
        }
    }
    if (!motion)
    {
        return Verdict::Still;
    }
    m_motionUntil.store((arrived + kHold).time_since_epoch().count(), std::memory_order_relaxed);
    m_intervals.Note(arrived);
    return Verdict::Motion;
}

void CMotionDetector::Measure(const uint8_t* luma, int width, int height, size_t stride)
{
    std::vector<uint32_t>& rowSums = m_rowSums;
    std::vector<uint32_t>& counts = m_counts;
    int row = 0;
    int rowStart = 0;
    for (int y = 0; y <= height; ++y)
    {
        const int cellRow = y < height ? y * m_nRows / height : m_nRows;
        if (cellRow != row)
        {
            const int rowsInCell = y - rowStart;
            for (int column = 0; column < m_nColumns; ++column)
            {
                const size_t c = static_cast<size_t>(column);
                m_level[static_cast<size_t>(row * m_nColumns + column)] =
                    static_cast<float>(rowSums[c]) / static_cast<float>(counts[c] * rowsInCell);
                rowSums[c] = 0;
                counts[c] = 0;
            }
            row = cellRow;
            rowStart = y;
        }
        if (y == height)
        {
            break;
        }
        const uint8_t* line = luma + static_cast<size_t>(y) * stride;
        for (int x = 0; x < width; ++x)
        {
            const size_t c = m_columnOf[static_cast<size_t>(x)];
            rowSums[c] += line[x];
        }
        if (y == rowStart)
        {
            for (int x = 0; x < width; ++x)
            {
                ++counts[m_columnOf[static_cast<size_t>(x)]];
            }
        }
    }
}

void CMotionDetector::Learn()
{
    for (size_t i = 0; i < m_cells.size(); ++i)
    {
        m_cells[i].background = m_level[i];
    }
}

// How the light moved every level since the last look, as level = gain * background +
// offset, fitted twice: the second time without the cells the first fit left far off,
// so what moves in the scene does not bend the light.
CMotionDetector::Light CMotionDetector::FitLight()
{
    const auto fit = [this](float limit, Light& light)
    {
        double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
        for (size_t i = 0; i < m_cells.size(); ++i)
        {
            const double x = m_cells[i].background;
            const double y = m_level[i];
            if (x >= kClipped || y >= kClipped || m_residuals[i] > limit)
            {
                continue;
            }
            n += 1;
            sx += x;
            sy += y;
            sxx += x * x;
            sxy += x * y;
        }
        // Too few cells to say: no change of the light.
        if (n * 4 < static_cast<double>(m_cells.size()))
        {
            return false;
        }
        // Nearly all of one grey (a spread under 4 levels): an offset alone.
        const double spread = n * sxx - sx * sx;
        if (spread < n * n * 16.0)
        {
            light = {1.0f, static_cast<float>((sy - sx) / n)};
            return true;
        }
        const double gain = (n * sxy - sx * sy) / spread;
        light = {static_cast<float>(gain), static_cast<float>((sy - gain * sx) / n)};
        return true;
    };
    Light light;
    std::fill(m_residuals.begin(), m_residuals.end(), 0.0f);
    if (!fit(1.0f, light))
    {
        return {};
    }
    for (size_t i = 0; i < m_cells.size(); ++i)
    {
        m_residuals[i] =
            std::fabs(m_level[i] - (m_cells[i].background * light.gain + light.offset));
    }
    m_sortedResiduals.assign(m_residuals.begin(), m_residuals.end());
    const auto middle =
        m_sortedResiduals.begin() + static_cast<std::ptrdiff_t>(m_sortedResiduals.size() / 2);
    std::nth_element(m_sortedResiduals.begin(), middle, m_sortedResiduals.end());
    Light refined = light;
    return fit(3.0f * *middle + 1.0f, refined) ? refined : light;
}

// The size of the largest group of changed cells that touch, corners included;
// m_groupOf holds each changed cell's group size.
int CMotionDetector::LargestGroup()
{
    std::vector<int>& group = m_groupOf;
    std::vector<int>& members = m_members;
    std::fill(group.begin(), group.end(), 0);
    int largest = 0;
    for (int start = 0; start < m_nColumns * m_nRows; ++start)
    {
        if (!m_changed[static_cast<size_t>(start)] || group[static_cast<size_t>(start)] != 0)
        {
            continue;
        }
        members.clear();
        members.push_back(start);
        group[static_cast<size_t>(start)] = -1;
        for (size_t next = 0; next < members.size(); ++next)
        {
            const int x = members[next] % m_nColumns;
            const int y = members[next] / m_nColumns;
            for (int dy = -1; dy <= 1; ++dy)
            {
                for (int dx = -1; dx <= 1; ++dx)
                {
                    const int nx = x + dx;
                    const int ny = y + dy;
                    if (nx < 0 || ny < 0 || nx >= m_nColumns || ny >= m_nRows)
                    {
                        continue;
                    }
                    const size_t n = static_cast<size_t>(ny * m_nColumns + nx);
                    if (m_changed[n] && group[n] == 0)
                    {
                        group[n] = -1;
                        members.push_back(static_cast<int>(n));
                    }
                }
            }
        }
        const int size = static_cast<int>(members.size());
        for (int member : members)
        {
            group[static_cast<size_t>(member)] = size;
        }
        largest = std::max(largest, size);
    }
    return largest;
}
