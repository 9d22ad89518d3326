#include "SpotThreshold.h"

#include "TParameters.h"

#include <cmath>

double SpotThreshold::of(const TParameters &p, double maximum, double background)
{
    if (maximum == 0)
        return p.Koeff_C;
    if (!p.SpotBackground)
        return p.Koeff_A * std::pow(maximum, p.Koeff_n) + p.Koeff_B * maximum + p.Koeff_C;
    // The median of the border is never above the brightest pixel.
    const double above = maximum - background;
    return background + p.Koeff_A * std::pow(above, p.Koeff_n) + p.Koeff_B * above + p.Koeff_C;
}

double SpotThreshold::slope(const TParameters &p, double maximum, double background)
{
    const double above = p.SpotBackground ? maximum - background : maximum;
    const double power = p.Koeff_n != 0 && above > 0 ? p.Koeff_A * p.Koeff_n * std::pow(above, p.Koeff_n - 1) : 0;
    return power + p.Koeff_B;
}
