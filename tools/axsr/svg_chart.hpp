// A small SVG chart writer for axsr's plots: one or more series of points drawn as lines
// or dots in one frame, with ticks, axis labels and a legend. Written here rather than
// run through gnuplot so that the program needs no other program at run time and the
// files are the same on every machine.
#pragma once

#include <string>
#include <vector>

namespace axsr {

struct TChartSeries {
    std::string Name;
    std::vector<double> X, Y;
    bool Line = true;  // false: dots
    std::string Color; // an SVG colour, e.g. "#1f77b4"
};

struct TChart {
    std::string Title, XLabel, YLabel;
    bool LogY = false;     // values <= 0 are left out on a log axis
    bool Diagonal = false; // draws y = x across the frame (predicted against actual)
    std::vector<TChartSeries> Series;
    // The chart as a standalone SVG document.
    std::string Svg(int Width = 640, int Height = 420) const;
};

} // namespace axsr
