// Writes a mould scene as PNG files: mouldscene_tool <out-dir> [width height cavities seed]
#include <cstdio>
#include <cstdlib>
#include <opencv2/imgcodecs.hpp>
#include <string>

#include "mouldscene.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <out-dir> [width height cavities seed]\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    mouldscene::SceneOptions o;
    if (argc >= 4)
        o.size = cv::Size(std::atoi(argv[2]), std::atoi(argv[3]));
    if (argc >= 5)
        o.cavities = std::atoi(argv[4]);
    if (argc >= 6)
        o.seed = std::strtoull(argv[5], nullptr, 10);
    const mouldscene::MouldScene scene(o);
    using F = mouldscene::Fault;
    const struct {
        const char* name;
        bool product;
        F fault;
    } shots[] = {{"product", true, F::None},         {"mould", false, F::None},
                 {"part_left", false, F::PartLeft},  {"short_shot", true, F::ShortShot},
                 {"flash", true, F::Flash},          {"wrong_way", true, F::WrongWay},
                 {"gap", true, F::GapChanged},       {"missing_spot", true, F::MissingSpot},
                 {"extra_spot", true, F::ExtraSpot}, {"foreign", false, F::ForeignObject}};
    mouldscene::Pose pose{12, -7, 1.5, 1.08, 3.0, 1};
    for (const auto& s : shots) {
        cv::imwrite(dir + "/" + s.name + ".png", scene.ideal(s.product, s.fault));
    }
    cv::imwrite(dir + "/product_moved.png", scene.render(true, F::None, pose));
    return 0;
}
