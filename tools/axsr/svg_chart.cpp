#include "tools/axsr/svg_chart.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <sstream>

namespace axsr {

namespace {

std::string Escaped(const std::string& Text) {
    std::string Out;
    for (const char Ch : Text) {
        switch (Ch) {
        case '&':
            Out += "&amp;";
            break;
        case '<':
            Out += "&lt;";
            break;
        case '>':
            Out += "&gt;";
            break;
        case '"':
            Out += "&quot;";
            break;
        default:
            Out += Ch;
        }
    }
    return Out;
}

// Coordinates are written with 2 decimals: enough for a drawing, and short.
std::string Px(double V) {
    std::ostringstream S;
    S.setf(std::ios::fixed);
    S.precision(2);
    S << V;
    return S.str();
}

// Tick labels round away the steps' accumulated rounding (0.30000000000000004).
std::string TickText(double V) {
    char Buffer[32];
    std::snprintf(Buffer, sizeof Buffer, "%g", V);
    return Buffer;
}

// About five ticks at 1, 2 or 5 times a power of ten.
std::vector<double> LinearTicks(double Lo, double Hi) {
    const double Raw = (Hi - Lo) / 5;
    const double Power = std::pow(10.0, std::floor(std::log10(Raw)));
    double Step = Power;
    for (const double M : {2.0, 5.0, 10.0})
        if (Step < Raw) Step = M * Power;
    std::vector<double> Ticks;
    for (double T = std::ceil(Lo / Step) * Step; T <= Hi + Step * 1e-9; T += Step)
        Ticks.push_back(std::abs(T) < Step * 1e-9 ? 0 : T);
    return Ticks;
}

struct TRange {
    double Lo = std::numeric_limits<double>::infinity();
    double Hi = -std::numeric_limits<double>::infinity();
    void Add(double V) {
        if (!std::isfinite(V)) return;
        Lo = std::min(Lo, V);
        Hi = std::max(Hi, V);
    }
    // A range of nonzero width, padded by 5 % on both sides.
    void Finish() {
        if (Lo > Hi) Lo = 0, Hi = 1;
        if (Hi - Lo < 1e-300 + std::abs(Hi) * 1e-12) {
            const double D = std::max(std::abs(Hi) * 0.1, 1.0);
            Lo -= D, Hi += D;
        }
        const double Pad = (Hi - Lo) * 0.05;
        Lo -= Pad, Hi += Pad;
    }
};

} // namespace

std::string TChart::Svg(int Width, int Height) const {
    const double Left = 80, Right = 20 + 150, Top = 40, Bottom = 55;
    const double PlotW = Width - Left - Right, PlotH = Height - Top - Bottom;
    // A log axis is drawn as log10 of the values on a linear one.
    auto YValue = [&](double V) {
        return LogY ? (V > 0 ? std::log10(V) : std::numeric_limits<double>::quiet_NaN()) : V;
    };
    TRange XR, YR;
    for (const auto& S : Series)
        for (std::size_t I = 0; I < S.X.size(); ++I)
            if (std::isfinite(YValue(S.Y[I]))) XR.Add(S.X[I]), YR.Add(YValue(S.Y[I]));
    if (Diagonal && XR.Lo <= XR.Hi) {
        XR.Lo = YR.Lo = std::min(XR.Lo, YR.Lo);
        XR.Hi = YR.Hi = std::max(XR.Hi, YR.Hi);
    }
    XR.Finish();
    YR.Finish();
    auto SX = [&](double X) { return Left + (X - XR.Lo) / (XR.Hi - XR.Lo) * PlotW; };
    auto SY = [&](double Y) { return Top + PlotH - (Y - YR.Lo) / (YR.Hi - YR.Lo) * PlotH; };

    std::ostringstream S;
    S << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << Width << "\" height=\"" << Height
      << "\" viewBox=\"0 0 " << Width << ' ' << Height
      << "\" font-family=\"sans-serif\" font-size=\"12\">\n"
      << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
      << "<text x=\"" << Px(Left + PlotW / 2)
      << "\" y=\"24\" text-anchor=\"middle\" font-size=\"15\">" << Escaped(Title) << "</text>\n";
    // Grid and tick labels.
    for (const double T : LinearTicks(XR.Lo, XR.Hi)) {
        S << "<line x1=\"" << Px(SX(T)) << "\" y1=\"" << Px(Top) << "\" x2=\"" << Px(SX(T))
          << "\" y2=\"" << Px(Top + PlotH) << "\" stroke=\"#ddd\"/>\n"
          << "<text x=\"" << Px(SX(T)) << "\" y=\"" << Px(Top + PlotH + 16)
          << "\" text-anchor=\"middle\">" << TickText(T) << "</text>\n";
    }
    std::vector<double> YTicks = LinearTicks(YR.Lo, YR.Hi);
    if (LogY) {
        YTicks.clear();
        for (double E = std::ceil(YR.Lo); E <= YR.Hi;
             E += std::max(1.0, std::ceil((YR.Hi - YR.Lo) / 6)))
            YTicks.push_back(E);
    }
    for (const double T : YTicks) {
        S << "<line x1=\"" << Px(Left) << "\" y1=\"" << Px(SY(T)) << "\" x2=\"" << Px(Left + PlotW)
          << "\" y2=\"" << Px(SY(T)) << "\" stroke=\"#ddd\"/>\n"
          << "<text x=\"" << Px(Left - 6) << "\" y=\"" << Px(SY(T) + 4) << "\" text-anchor=\"end\">"
          << (LogY ? "1e" + TickText(T) : TickText(T)) << "</text>\n";
    }
    S << "<rect x=\"" << Px(Left) << "\" y=\"" << Px(Top) << "\" width=\"" << Px(PlotW)
      << "\" height=\"" << Px(PlotH) << "\" fill=\"none\" stroke=\"black\"/>\n"
      << "<text x=\"" << Px(Left + PlotW / 2) << "\" y=\"" << Px(Height - 14)
      << "\" text-anchor=\"middle\">" << Escaped(XLabel) << "</text>\n"
      << "<text transform=\"translate(16," << Px(Top + PlotH / 2)
      << ") rotate(-90)\" text-anchor=\"middle\">" << Escaped(YLabel) << "</text>\n";
    if (Diagonal)
        S << "<line x1=\"" << Px(SX(XR.Lo)) << "\" y1=\"" << Px(SY(XR.Lo)) << "\" x2=\""
          << Px(SX(XR.Hi)) << "\" y2=\"" << Px(SY(XR.Hi))
          << "\" stroke=\"#999\" stroke-dasharray=\"4 3\"/>\n";
    // The series, each with its legend entry on the right.
    double LegendY = Top + 10;
    for (const auto& Item : Series) {
        std::ostringstream Points;
        for (std::size_t I = 0; I < Item.X.size(); ++I) {
            const double Y = YValue(Item.Y[I]);
            if (!std::isfinite(Y) || !std::isfinite(Item.X[I])) continue;
            if (Item.Line)
                Points << Px(SX(Item.X[I])) << ',' << Px(SY(Y)) << ' ';
            else
                S << "<circle cx=\"" << Px(SX(Item.X[I])) << "\" cy=\"" << Px(SY(Y))
                  << "\" r=\"3\" fill=\"" << Item.Color << "\"/>\n";
        }
        if (Item.Line)
            S << "<polyline fill=\"none\" stroke-width=\"2\" stroke=\"" << Item.Color
              << "\" points=\"" << Points.str() << "\"/>\n";
        S << "<rect x=\"" << Px(Left + PlotW + 12) << "\" y=\"" << Px(LegendY - 9)
          << "\" width=\"12\" height=\"12\" fill=\"" << Item.Color << "\"/>\n"
          << "<text x=\"" << Px(Left + PlotW + 30) << "\" y=\"" << Px(LegendY + 1) << "\">"
          << Escaped(Item.Name) << "</text>\n";
        LegendY += 20;
    }
    S << "</svg>\n";
    return S.str();
}

} // namespace axsr
