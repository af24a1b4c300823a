// Writes data/student.dat: one-sided Student t quantiles for df 1..100 and the normal limit.
//   g++ -std=c++20 -O2 scripts/make_student_dat.cpp -o /tmp/make_student_dat
//   /tmp/make_student_dat > data/student.dat
#include <boost/math/distributions/normal.hpp>
#include <boost/math/distributions/students_t.hpp>

#include <cstdio>

int main()
{
    constexpr double kP[] = {0.1, 0.05, 0.025, 0.01, 0.005, 0.001};
    std::printf("df, t 0.1, t 0.05, t 0.025, t 0.01, t 0.005, t 0.001\n");
    for (int df = 1; df <= 101; ++df) {
        if (df <= 100)
            std::printf("%d", df);
        else
            std::printf("inf");
        for (double p : kP) {
            double t = 0.0;
            if (df <= 100)
                t = quantile(complement(boost::math::students_t(df), p));
            else
                t = quantile(complement(boost::math::normal(), p));
            std::printf(", %#.6g", t);  // six significant digits, trailing zeros kept
        }
        std::printf("\n");
    }
}
