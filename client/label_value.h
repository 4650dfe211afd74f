#pragma once

class QLabel;

// The table keeps its counts in label captions: the caption read as an
// integer, or the default when it is not one ("山札" before the first game).
int LabelValue(const QLabel* label, int defaultValue);
