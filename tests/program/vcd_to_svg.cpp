// Draws a stretch of a Velmorin VCD trace as an SVG timing diagram, for the README.
//   vcd_to_svg TRACE.vcd SCOPE FIRST_WRITE WRITES > out.svg
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "port/cable.h"
#include "vcd_reader.h"

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: vcd_to_svg TRACE.vcd SCOPE FIRST_WRITE WRITES\n");
        return 2;
    }
    std::ifstream in(argv[1]);
    std::stringstream ss;
    ss << in.rdbuf();
    const auto vcd = testsupport::parseVcd(ss.str());
    const std::string scope = argv[2];
    const std::size_t first = std::stoul(argv[3]) + 1;  // +1: the x at time 0
    const std::size_t count = std::stoul(argv[4]);
    const auto& data = vcd.of(scope, "data");
    if (!vcd.ok || data.size() < first + count) {
        std::fprintf(stderr, "vcd_to_svg: not enough writes in %s\n", scope.c_str());
        return 1;
    }
    const long long t0 = data[first].t, t1 = data[first + count - 1].t;
    const long long span = t1 - t0 + (t1 - t0) / 20 + 1;
    const int left = 60, width = 820, rowH = 34, top = 30;
    auto x = [&](long long t) {
        return left + static_cast<double>(t - t0) * width / static_cast<double>(span);
    };
    const int height = top + 7 * rowH + 30;

    std::printf(
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" font-family=\"DejaVu "
        "Sans Mono, monospace\" font-size=\"12\">\n",
        left + width + 20, height);
    std::printf("<rect width=\"100%%\" height=\"100%%\" fill=\"#101418\"/>\n");
    std::printf(
        "<text x=\"%d\" y=\"18\" fill=\"#cfd8dc\">%s, writes %zu-%zu (VELMORIN_TRACE)</text>\n",
        left, scope.c_str(), first - 1, first + count - 2);
    for (int w = 0; w < 6; ++w) {
        const int yHigh = top + w * rowH + 6, yLow = top + w * rowH + rowH - 8;
        std::printf("<text x=\"8\" y=\"%d\" fill=\"#90a4ae\">%s</text>\n", yLow,
                    hd44780::kLineNames[static_cast<std::size_t>(w)]);
        std::string path;
        double lastY = 0;
        for (std::size_t i = first; i < first + count; ++i) {
            const int v = std::stoi(data[i].value, nullptr, 2);
            const bool high = port::kParallelCable.level(static_cast<std::uint8_t>(v),
                                                         static_cast<hd44780::Line>(w));
            const double y = high ? yHigh : yLow;
            const double xi = x(data[i].t);
            char seg[64];
            if (path.empty())
                std::snprintf(seg, sizeof seg, "M%.1f %.1f", xi, y);
            else
                std::snprintf(seg, sizeof seg, " L%.1f %.1f L%.1f %.1f", xi, lastY, xi, y);
            path += seg;
            lastY = y;
        }
        char end[48];
        std::snprintf(end, sizeof end, " L%d %.1f", left + width, lastY);
        path += end;
        std::printf("<path d=\"%s\" stroke=\"%s\" stroke-width=\"2\" fill=\"none\"/>\n",
                    path.c_str(), w == 1 ? "#ffb74d" : "#4fc3f7");
    }
    // The byte on the bus while E is high: what the controller latches when E falls.
    const int yData = top + 6 * rowH + 14;
    std::printf("<text x=\"8\" y=\"%d\" fill=\"#90a4ae\">data</text>\n", yData);
    for (std::size_t i = first; i < first + count; ++i)
        if (std::stoi(data[i].value, nullptr, 2) & 2)
            std::printf(
                "<text x=\"%.1f\" y=\"%d\" fill=\"#e0e0e0\" transform=\"rotate(-45 %.1f "
                "%d)\">%02x</text>\n",
                x(data[i].t), yData + 10, x(data[i].t), yData + 10,
                std::stoi(data[i].value, nullptr, 2));
    std::printf("<text x=\"%d\" y=\"%d\" fill=\"#90a4ae\">0 µs</text>\n", left, height - 6);
    std::printf("<text x=\"%d\" y=\"%d\" fill=\"#90a4ae\" text-anchor=\"end\">%.1f µs</text>\n",
                left + width, height - 6, static_cast<double>(span) / 1000.0);
    std::printf("</svg>\n");
    return 0;
}
