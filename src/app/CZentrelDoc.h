// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The application's document: it carries no data and is never loaded or saved.
// It exists because the program keeps the one-document shape of frame,
// document and view.
class CZentrelDoc
{
};
