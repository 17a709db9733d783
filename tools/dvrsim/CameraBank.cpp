// SPDX-License-Identifier: GPL-3.0-or-later
#include "CameraBank.h"

#include "FormFields.h"

#include <algorithm>

namespace
{
// One command moves the camera by a step that grows with the speed, so that the
// viewer's command-then-stop pair still shows on the picture.
void Move(CameraState& camera, unsigned code, int speed)
{
    const int steps = speed + 1;
    switch (code)
    {
    case 0: camera.zoom = std::min(100, camera.zoom + 2 * steps); break;
    case 1: camera.zoom = std::max(10, camera.zoom - 2 * steps); break;
    case 2: camera.focus = std::min(99, camera.focus + 3 * steps); break;
    case 3: camera.focus = std::max(0, camera.focus - 3 * steps); break;
    case 4: camera.pan = (camera.pan + 5 * steps) % 360; break;
    case 5: camera.pan = (camera.pan + 360 - 5 * steps) % 360; break;
    case 6: camera.tilt = std::min(60, camera.tilt + 5 * steps); break;
    case 7: camera.tilt = std::max(-60, camera.tilt - 5 * steps); break;
    }
}
} // namespace

bool CameraBank::Apply(unsigned channel, std::string_view command)
{
    if (channel >= m_cameras.size() || command.empty() || command[0] < '0' || command[0] > '9')
    {
        return false;
    }
    const unsigned code = static_cast<unsigned>(command[0] - '0');
    const std::string_view rest = command.substr(1);
    CameraState& camera = m_cameras[channel];
    if (code == 8)
    {
        // Every step is finished when its command arrives; there is no motion to stop.
        return rest.empty();
    }
    if (rest.size() < 2 || (rest[0] != 'S' && rest[0] != 'G'))
    {
        return false;
    }
    if (code == 9)
    {
        const auto preset = ParseDecimal(rest.substr(1), kPresetCount);
        if (!preset || *preset == 0 || rest[1] == '0')
        {
            return false;
        }
        auto& slot = m_presets[channel][*preset - 1];
        if (rest[0] == 'S')
        {
            slot = camera;
            return true;
        }
        if (!slot)
        {
            return false;
        }
        camera = *slot;
        return true;
    }
    const auto speed = ParseDecimal(rest.substr(1), 3);
    if (rest[0] != 'S' || !speed || rest.size() != 2)
    {
        return false;
    }
    Move(camera, code, static_cast<int>(*speed));
    return true;
}

CameraState CameraBank::Get(unsigned channel) const
{
    return channel < m_cameras.size() ? m_cameras[channel] : CameraState{};
}
