#include "store/number_fields.h"

#include "store/internal/es_layout.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace sigmat::store {
namespace {

std::string stars(int width) {
    return std::string(static_cast<std::size_t>(std::max(width, 0)), '*');
}

std::string pad_left(const std::string& text, int width) {
    if (static_cast<int>(text.size()) > width)
        return stars(width);
    return std::string(static_cast<std::size_t>(width) - text.size(), ' ') + text;
}

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

// Strict parse of a whole number: optional sign, then digits only.
std::optional<std::int64_t> parse_whole(std::string_view s) {
    if (s.empty())
        return std::nullopt;
    bool negative = false;
    if (s.front() == '+' || s.front() == '-') {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    if (s.empty() || s.size() > 18)
        return std::nullopt;
    std::int64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return std::nullopt;
        v = v * 10 + (c - '0');
    }
    return negative ? -v : v;
}

} // namespace

namespace detail {
const PowerOfTen powers_of_ten[199] = {
    {0x1.cab3210f40000p-343, -0x1.11aaa119e0000p-381, 0x1.0535080e828aep-421},  // 1e-103
    {0x1.1eaff4a980000p-339, 0x1.54f55b4fe0000p-377, -0x1.6b97db5eddcd2p-414},  // 1e-102
    {0x1.665bf1d3e0000p-336, 0x1.aa32b223c0000p-374, 0x1.39822dc96abf9p-411},   // 1e-101
    {0x1.bff2ee48e0000p-333, 0x1.4bf5eacbc0000p-375, 0x1.f8ae4ef15bdd0p-414},   // 1e-100
    {0x1.17f7d4ed80000p-329, 0x1.867bcd9600000p-366, -0x1.4b124c3aa49a5p-404},  // 1e-99
    {0x1.5df5ca28e0000p-326, 0x1.e81ac0fb80000p-363, -0x1.9dd6df494dc0fp-401},  // 1e-98
    {0x1.b5733cb320000p-323, 0x1.6221713a60000p-360, -0x1.02a64b8dd0989p-397},  // 1e-97
    {0x1.116805f000000p-319, -0x1.4556327720000p-357, 0x1.bcb0218ebb414p-394},  // 1e-96
    {0x1.55c2076c00000p-316, -0x1.96abbf14e0000p-354, 0x1.2bdc29f26a11ap-391},  // 1e-95
    {0x1.ab32894700000p-313, -0x1.fc56aeda00000p-351, -0x1.892ccb90fb6a0p-388}, // 1e-94
    {0x1.0aff95cc60000p-309, -0x1.3db62d4840000p-347, -0x1.eb77fe753a448p-385}, // 1e-93
    {0x1.4dbf7b3f80000p-306, -0x1.c691dc4d20000p-343, -0x1.99957f84a2357p-380}, // 1e-92
    {0x1.a12f5a0f40000p-303, 0x1.c7c9ac9f80000p-340, 0x1.0005209a353d4p-377},   // 1e-91
    {0x1.04bd9849a0000p-299, -0x1.e321f41c40000p-336, -0x1.5ffccb9f9eb9cp-373}, // 1e-90
    {0x1.45ecfe5c00000p-296, -0x1.5bea712360000p-333, 0x1.201005e1e65f6p-372},  // 1e-89
    {0x1.97683df300000p-293, -0x1.b2e50d6c40000p-330, 0x1.5a0501d697fddp-367},  // 1e-88
    {0x1.fd424d6fa0000p-290, 0x1.e061af38c0000p-327, -0x1.3de6f6cf080b0p-366},  // 1e-87
    {0x1.3e497065c0000p-286, 0x1.ac3d0d8380000p-323, -0x1.31ac16905941bp-360},  // 1e-86
    {0x1.8ddbcc7f40000p-283, 0x1.74c50e4540000p-324, 0x1.e8e3cb906ddaep-365},   // 1e-85
    {0x1.f152bf9f20000p-280, -0x1.e2e09ae2a0000p-317, 0x1.22631cbe74895p-354},  // 1e-84
    {0x1.36d3b7c360000p-276, 0x1.52339f3260000p-313, 0x1.abef8fb846aeap-353},   // 1e-83
    {0x1.8488a5b440000p-273, 0x1.4d810dfe00000p-311, -0x1.7a45231669e97p-348},  // 1e-82
    {0x1.e5aacf2160000p-270, -0x1.2f8f574140000p-307, -0x1.d8d66bdc0463dp-345}, // 1e-81
    {0x1.2f8ac174e0000p-266, -0x1.3db99688c0000p-303, -0x1.93c301b4c15f3p-340}, // 1e-80
    {0x1.7b6d71d200000p-263, 0x1.72d803d500000p-300, 0x1.d30f778392410p-343},   // 1e-79
    {0x1.da48ce4680000p-260, 0x1.cf8e04ca40000p-297, 0x1.23e9aab23b68ap-339},   // 1e-78
    {0x1.286d80ec20000p-256, -0x1.bc8e7a0320000p-294, -0x1.f498df5509adfp-331}, // 1e-77
    {0x1.7288e12720000p-253, -0x1.5d90c41fe0000p-294, 0x1.c81d1ab67cd38p-333},  // 1e-76
    {0x1.cf2b1970e0000p-250, 0x1.c961615b00000p-288, 0x1.63a2461641c08p-326},   // 1e-75
    {0x1.217aefe6a0000p-246, -0x1.f111919380000p-283, -0x1.c86ea50c85b9fp-320}, // 1e-74
    {0x1.69d9abe040000p-243, -0x1.6d55f5f880000p-280, 0x1.c575b1b058d7ap-317},  // 1e-73
    {0x1.c45016d840000p-240, 0x1.baa4644b80000p-280, 0x1.b698f0e3786c0p-317},   // 1e-72
    {0x1.1ab20e4720000p-236, 0x1.2294d7d5e0000p-273, 0x1.c487e5a38ad0ep-311},   // 1e-71
    {0x1.615e91d900000p-233, -0x1.94c5f234a0000p-270, 0x1.ad4ef8636c28dp-311},  // 1e-70
    {0x1.b9b6364f40000p-230, -0x1.f9f76ec1c0000p-267, -0x1.bceba9307719ap-305}, // 1e-69
    {0x1.1411e1f180000p-226, -0x1.e1d529c8e0000p-266, -0x1.61349be4a7004p-305}, // 1e-68
    {0x1.59165a6de0000p-223, -0x1.2d253a1d80000p-262, -0x1.b730385bba181p-299}, // 1e-67
    {0x1.af5bf10960000p-220, -0x1.5e1ba22940000p-257, 0x1.db03b98d5761fp-296},  // 1e-66
    {0x1.0d9976a5e0000p-216, -0x1.5ad14559c0000p-253, -0x1.6b8ed603d4b16p-291}, // 1e-65
    {0x1.50ffd44f40000p-213, 0x1.4e7a694fc0000p-250, 0x1.1cc6ba3d9b112p-287},   // 1e-64
    {0x1.a53fc96320000p-210, -0x1.779bf17120000p-249, 0x1.8fe1a3340755ap-286},  // 1e-63
    {0x1.0747ddde00000p-206, -0x1.bab05db9a0000p-243, -0x1.6184be7fdedaap-280}, // 1e-62
    {0x1.4919d55560000p-203, 0x1.d6a38ad7e0000p-240, 0x1.461a11e0296ecp-277},   // 1e-61
    {0x1.9b604aaac0000p-200, 0x1.4c4c6d8de0000p-237, 0x1.2f412cb06794dp-275},   // 1e-60
    {0x1.011c2eaac0000p-196, -0x1.8281dc3a80000p-236, -0x1.09dd1046fd0bfp-273}, // 1e-59
    {0x1.41633a5560000p-193, 0x1.c39bb596e0000p-230, -0x1.531515162f13cp-268},  // 1e-58
    {0x1.91bc08eac0000p-190, 0x1.3482a2fca0000p-227, -0x1.d3ed2d2ddd6c5p-264},  // 1e-57
    {0x1.f62b0b2580000p-187, -0x1.f972d11120000p-226, -0x1.23a1e1e5531dbp-263}, // 1e-56
    {0x1.39dae6f760000p-183, 0x1.b1060f5560000p-220, -0x1.cd914b4bd4fcap-257},  // 1e-55
    {0x1.8851a0b540000p-180, 0x1.1d47932aa0000p-217, 0x1.7e14c3c26b887p-255},   // 1e-54
    {0x1.ea6608e2a0000p-177, -0x1.36cd101560000p-215, -0x1.13305a67ccabep-255}, // 1e-53
    {0x1.327fc58da0000p-173, 0x1.edfeaf9520000p-214, -0x1.57fc7101bfd6ep-252},  // 1e-52
    {0x1.7f1fb6f100000p-170, 0x1.2697e5b7a0000p-207, 0x1.8520472bdd033p-245},   // 1e-51
    {0x1.dee7a4ad40000p-167, 0x1.703ddf2580000p-204, 0x1.f3342c7b6a220p-241},   // 1e-50
    {0x1.2b50c6ec40000p-163, 0x1.e626ab7780000p-200, -0x1.8ffec865bb558p-238},  // 1e-49
    {0x1.7624f8a760000p-160, 0x1.7ec1595560000p-199, 0x1.8030b01abaa47p-240},   // 1e-48
    {0x1.d3ae36d140000p-157, -0x1.10c7282aa0000p-195, -0x1.c3f8647bd2d65p-234}, // 1e-47
    {0x1.244ce242c0000p-153, 0x1.558386e560000p-191, -0x1.8d3d9f66b1e30p-229},  // 1e-46
    {0x1.6d601ad380000p-150, -0x1.2a8dcbb0a0000p-187, -0x1.f84683a02f2dep-225}, // 1e-45
    {0x1.c8b8218860000p-147, -0x1.75313e9ce0000p-184, 0x1.c4d3edbbe2835p-221},  // 1e-44
    {0x1.1d7314f540000p-143, -0x1.693ec72200000p-180, -0x1.93ee2daa49b7ap-219}, // 1e-43
    {0x1.64cfda3280000p-140, 0x1.e38c38abe0000p-180, 0x1.c591bac8f69c0p-222},   // 1e-42
    {0x1.be03d0bf20000p-137, 0x1.2e37a36b60000p-176, 0x1.88dbd8a5ecd11p-213},   // 1e-41
    {0x1.16c2627780000p-133, -0x1.50c74e7740000p-170, 0x1.1d6259d9ed00bp-207},  // 1e-40
    {0x1.5c72fb1560000p-130, -0x1.a4f9221500000p-167, -0x1.368a1f5f2f7e5p-205}, // 1e-39
    {0x1.b38fb9daa0000p-127, 0x1.e3912acb80000p-165, -0x1.842ca736fb5dfp-202},  // 1e-38
    {0x1.1039d428a0000p-123, 0x1.171d5d5fa0000p-160, -0x1.794df4412e8d6p-197},  // 1e-37
    {0x1.54484932e0000p-120, -0x1.a31b4b4880000p-157, -0x1.af42e2a2f4616p-195}, // 1e-36
    {0x1.a95a5b7f80000p-117, 0x1.e83bc3caa0000p-155, 0x1.e4ec64b44e864p-192},   // 1e-35
    {0x1.09d8792fc0000p-113, -0x1.676d52d0a0000p-150, -0x1.28762087a7761p-187}, // 1e-34
    {0x1.4c4e977ba0000p-110, 0x1.f5bac3d960000p-150, 0x1.ad8aeacdd58e7p-189},   // 1e-33
    {0x1.9f623d5a80000p-107, 0x1.4e652e9a00000p-144, -0x1.0f3892d3f5a87p-181},  // 1e-32
    {0x1.039d6658a0000p-103, -0x1.2f00c2dfc0000p-140, -0x1.5306b788f3129p-178}, // 1e-31
    {0x1.4484bfeec0000p-100, -0x1.eb03ce5ee0000p-139, 0x1.60de6a5340a34p-177},  // 1e-30
    {0x1.95a5efea60000p-97, 0x1.668ecf8260000p-134, -0x1.11ba7ec5fbcd0p-172},   // 1e-29
    {0x1.fb0f6be500000p-94, 0x1.806506c5e0000p-132, 0x1.53adc3110a7f9p-170},    // 1e-28
    {0x1.3ce9a36f20000p-90, 0x1.e07e487760000p-129, -0x1.5d9b30aacb823p-169},   // 1e-27
    {0x1.8c240c4ae0000p-87, 0x1.962776a540000p-124, 0x1.b257f019540cfp-161},    // 1e-26
    {0x1.ef2d0f5da0000p-84, 0x1.f762a89d40000p-122, 0x1.eedec1fa91024p-162},    // 1e-25
    {0x1.357c299a80000p-80, 0x1.1d4ed4b120000p-117, 0x1.26a9672793543p-155},    // 1e-24
    {0x1.82db340120000p-77, 0x1.64a289dd60000p-114, 0x1.b829e078bc14ap-151},    // 1e-23
    {0x1.e392010180000p-74, -0x1.4234d3ab40000p-111, 0x1.26345896eb19cp-148},   // 1e-22
    {0x1.2e3b40a0e0000p-70, 0x1.369efbb500000p-107, -0x1.207d2286b43f9p-146},   // 1e-21
    {0x1.79ca10c920000p-67, 0x1.088d754480000p-105, -0x1.689c6b28614f8p-143},   // 1e-20
    {0x1.d83c94fb60000p-64, 0x1.a558694ac0000p-101, 0x1.8f4f1e8361973p-138},    // 1e-19
    {0x1.2725dd1d20000p-60, 0x1.0eae839d80000p-98, -0x1.9ba33b78c061ap-140},    // 1e-18
    {0x1.70ef546460000p-57, 0x1.a92d124260000p-94, 0x1.f7f5cfd6a43e1p-131},     // 1e-17
    {0x1.cd2b297d80000p-54, 0x1.137856d300000p-91, 0x1.75f343cc4d4dap-128},     // 1e-16
    {0x1.203af9ee80000p-50, -0x1.53d4c9bc20000p-87, 0x1.d37014bf60a10p-125},    // 1e-15
    {0x1.6849b86a20000p-47, -0x1.a8c9fc2b20000p-84, 0x1.213067bce3252p-124},    // 1e-14
    {0x1.c25c2684a0000p-44, -0x1.12fc7b35e0000p-81, -0x1.a5a0df94f9046p-119},   // 1e-13
    {0x1.19799812e0000p-40, -0x1.5eee680d80000p-80, -0x1.e122ef46e8b03p-121},   // 1e-12
    {0x1.5fd7fe17a0000p-37, -0x1.36d5404220000p-74, 0x1.ed34a2a73ae92p-113},    // 1e-11
    {0x1.b7cdfd9d80000p-34, -0x1.091520a540000p-72, -0x1.977e34aef65cap-110},   // 1e-10
    {0x1.12e0be8260000p-30, 0x1.ad2965cc60000p-67, -0x1.7f577076acfcfp-105},    // 1e-9
    {0x1.5798ee2300000p-27, 0x1.1873bf3f80000p-64, -0x1.ef96a64a2c1e1p-101},    // 1e-8
    {0x1.ad7f29abc0000p-24, 0x1.5e90af0f40000p-61, 0x1.9483b02348da6p-98},      // 1e-7
    {0x1.0c6f7a0b60000p-20, -0x1.272c94b380000p-60, -0x1.96d8f4f93bc0ap-101},   // 1e-6
    {0x1.4f8b588e40000p-17, -0x1.2e1ef73c00000p-54, -0x1.83f91e646f156p-91},    // 1e-5
    {0x1.a36e2eb1c0000p-14, 0x1.0cb295e9e0000p-52, 0x1.b089a02752546p-92},      // 1e-4
    {0x1.0624dd2f20000p-10, -0x1.5810624de0000p-48, 0x1.a1cac083126e9p-85},     // 1e-3
    {0x1.47ae147ae0000p-7, 0x1.47ae147ae0000p-47, 0x1.47ae147ae147bp-87},       // 1e-2
    {0x1.99999999a0000p-4, -0x1.99999999a0000p-42, 0x1.999999999999ap-80},      // 1e-1
    {0x1.0000000000000p+0, 0x0.0p+0, 0x0.0p+0},                                 // 1e0
    {0x1.4000000000000p+3, 0x0.0p+0, 0x0.0p+0},                                 // 1e1
    {0x1.9000000000000p+6, 0x0.0p+0, 0x0.0p+0},                                 // 1e2
    {0x1.f400000000000p+9, 0x0.0p+0, 0x0.0p+0},                                 // 1e3
    {0x1.3880000000000p+13, 0x0.0p+0, 0x0.0p+0},                                // 1e4
    {0x1.86a0000000000p+16, 0x0.0p+0, 0x0.0p+0},                                // 1e5
    {0x1.e848000000000p+19, 0x0.0p+0, 0x0.0p+0},                                // 1e6
    {0x1.312d000000000p+23, 0x0.0p+0, 0x0.0p+0},                                // 1e7
    {0x1.7d78400000000p+26, 0x0.0p+0, 0x0.0p+0},                                // 1e8
    {0x1.dcd6500000000p+29, 0x0.0p+0, 0x0.0p+0},                                // 1e9
    {0x1.2a05f20000000p+33, 0x0.0p+0, 0x0.0p+0},                                // 1e10
    {0x1.74876e8000000p+36, 0x0.0p+0, 0x0.0p+0},                                // 1e11
    {0x1.d1a94a2000000p+39, 0x0.0p+0, 0x0.0p+0},                                // 1e12
    {0x1.2309ce5400000p+43, 0x0.0p+0, 0x0.0p+0},                                // 1e13
    {0x1.6bcc41e900000p+46, 0x0.0p+0, 0x0.0p+0},                                // 1e14
    {0x1.c6bf526340000p+49, 0x0.0p+0, 0x0.0p+0},                                // 1e15
    {0x1.1c37937e00000p+53, 0x1.0000000000000p+16, 0x0.0p+0},                   // 1e16
    {0x1.6345785d80000p+56, 0x1.4000000000000p+19, 0x0.0p+0},                   // 1e17
    {0x1.bc16d674e0000p+59, 0x1.9000000000000p+22, 0x0.0p+0},                   // 1e18
    {0x1.158e460920000p+63, -0x1.8600000000000p+26, 0x0.0p+0},                  // 1e19
    {0x1.5af1d78b60000p+66, -0x1.cf00000000000p+28, 0x0.0p+0},                  // 1e20
    {0x1.b1ae4d6e20000p+69, 0x1.dea0000000000p+32, 0x0.0p+0},                   // 1e21
    {0x1.0f0cf064e0000p+73, -0x1.5370000000000p+34, 0x0.0p+0},                  // 1e22
    {0x1.52d02c7e20000p+76, -0x1.6a13000000000p+39, 0x0.0p+0},                  // 1e23
    {0x1.a784379da0000p+79, -0x1.892f800000000p+41, 0x0.0p+0},                  // 1e24
    {0x1.08b2a2c280000p+83, 0x1.484a000000000p+40, 0x0.0p+0},                   // 1e25
    {0x1.4adf4b7320000p+86, 0x1.9a5c800000000p+43, 0x0.0p+0},                   // 1e26
    {0x1.9d971e4fe0000p+89, 0x1.0803ce8000000p+52, 0x0.0p+0},                   // 1e27
    {0x1.027e72f200000p+93, -0x1.dafd9ef000000p+56, 0x0.0p+0},                  // 1e28
    {0x1.431e0fae60000p+96, 0x1.ae42f95400000p+59, 0x0.0p+0},                   // 1e29
    {0x1.93e5939a00000p+99, 0x1.19d3b7a900000p+62, 0x0.0p+0},                   // 1e30
    {0x1.f8def88080000p+102, 0x1.6048a59340000p+65, 0x0.0p+0},                  // 1e31
    {0x1.3b8b5b5060000p+106, -0x1.23d2988400000p+69, 0x1.0000000000000p+32},    // 1e32
    {0x1.8a6e322460000p+109, 0x1.9338c15b00000p+72, 0x1.4000000000000p+35},     // 1e33
    {0x1.ed09bead80000p+112, 0x1.f00de363a0000p+74, -0x1.c000000000000p+36},    // 1e34
    {0x1.3426172c80000p+116, -0x1.64fba8f0e0000p+79, -0x1.8000000000000p+36},   // 1e35
    {0x1.812f9cf7a0000p+119, -0x1.be3a932d20000p+82, 0x1.f100000000000p+44},    // 1e36
    {0x1.e17b843580000p+122, -0x1.2dc937f860000p+85, 0x1.b500000000000p+45},    // 1e37
    {0x1.2ced32a160000p+126, 0x1.43623d04c0000p+89, 0x1.4448000000000p+51},     // 1e38
    {0x1.78287f49c0000p+129, 0x1.2875988be0000p+91, 0x1.955a000000000p+54},     // 1e39
    {0x1.d6329f1c40000p+132, -0x1.46b680a880000p+95, -0x1.82a7c00000000p+58},   // 1e40
    {0x1.25dfa371a0000p+136, 0x1.9e6f7cb540000p+96, 0x1.cae5000000000p+57},     // 1e41
    {0x1.6f578c4e00000p+139, 0x1.40c16b7c60000p+102, -0x1.ae130e0000000p+65},   // 1e42
    {0x1.cb2d6f6180000p+142, 0x1.90f1c65b60000p+105, 0x1.ccd05d0000000p+67},    // 1e43
    {0x1.1efc659d00000p+146, -0x1.0568e406e0000p+109, 0x1.0011d10000000p+68},   // 1e44
    {0x1.66bb7f0440000p+149, -0x1.46c31d08a0000p+112, 0x1.1401645400000p+75},   // 1e45
    {0x1.c06a5ec540000p+152, 0x1.9e306ed500000p+113, 0x1.6406f5a400000p+76},    // 1e46
    {0x1.18427b3b40000p+156, 0x1.40b7915140000p+119, 0x1.37a11661a0000p+82},    // 1e47
    {0x1.5e531a0a20000p+159, -0x1.bc6a296980000p+120, -0x1.e9da9017e0000p+83},  // 1e48
    {0x1.b5e7e08ca0000p+162, 0x1.d47b4c3c00000p+123, 0x1.9baecbe228000p+86},    // 1e49
    {0x1.11b0ec57e0000p+166, 0x1.926687d2c0000p+128, 0x1.014d3f6d59000p+90},    // 1e50
    {0x1.561d276de0000p+169, -0x1.1ffac71160000p+126, 0x1.a08f48af40000p+85},   // 1e51
    {0x1.aba4714960000p+172, -0x1.059fe5e360000p+135, 0x1.24822cc6b6c40p+98},   // 1e52
    {0x1.0b46c6cde0000p+176, -0x1.2383efae20000p+139, 0x1.36d15bfc323a8p+102},  // 1e53
    {0x1.4e18788140000p+179, 0x1.939b146660000p+142, 0x1.090b65f67d924p+104},   // 1e54
    {0x1.a19e96a1a0000p+182, -0x1.df89a000c0000p+139, 0x1.69c7ee839eda0p+102},  // 1e55
    {0x1.05031e2500000p+186, 0x1.ed449fc000000p+147, -0x1.c3bc615db7970p+109},  // 1e56
    {0x1.4643e5ae40000p+189, 0x1.344ae3d800000p+151, -0x1.1a55bcda92be6p+113},  // 1e57
    {0x1.97d4df19e0000p+192, -0x1.3f51319900000p+155, -0x1.60eb2c11376dfp+116}, // 1e58
    {0x1.fdca16e040000p+195, 0x1.70da8200c0000p+158, -0x1.b925f71585497p+119},  // 1e59
    {0x1.3e9e4e4c20000p+199, 0x1.e688914080000p+162, -0x1.44edee9b5cd38p+125},  // 1e60
    {0x1.8e45e1df40000p+202, -0x1.3faa94dee0000p+164, 0x1.a75a56f72fdeap+126},  // 1e61
    {0x1.f1d75a5700000p+205, 0x1.383562f4c0000p+168, -0x1.f76789a58214ep+130},  // 1e62
    {0x1.3726987660000p+209, 0x1.8642bbb1e0000p+171, 0x1.8abe93f11d65fp+133},   // 1e63
    {0x1.84f03e9400000p+212, -0x1.82c9561a00000p+170, -0x1.291c7129b4096p+132}, // 1e64
    {0x1.e62c4e3900000p+215, -0x1.e37baba080000p+173, -0x1.73638d74210bbp+135}, // 1e65
    {0x1.2fdbb0e3a0000p+219, -0x1.2e2d4b4460000p+177, 0x1.8bf0e3cbb5ac5p+140},  // 1e66
    {0x1.7bd29d1c80000p+222, 0x1.e864761ea0000p+184, 0x1.2eeed1cbea317p+147},   // 1e67
    {0x1.dac74463a0000p+225, 0x1.313ec9d320000p+188, 0x1.3d55431f725efp+151},   // 1e68
    {0x1.28bc8abe40000p+229, 0x1.3ec73e2400000p+192, -0x1.73556c18b1096p+154},  // 1e69
    {0x1.72ebad6de0000p+232, -0x1.c61bc94c20000p+193, 0x1.7ea9c70915a27p+154},  // 1e70
    {0x1.cfa698c960000p+235, -0x1.8de8aee7c0000p+198, -0x1.221abc734a4f5p+161}, // 1e71
    {0x1.21c81f7de0000p+239, -0x1.78b16d50e0000p+202, 0x1.2abd28dfc639cp+163},  // 1e72
    {0x1.6a3a275d40000p+242, 0x1.2922375ae0000p+205, 0x1.5d5b1cc5edf21p+168},   // 1e73
    {0x1.c4c8b134a0000p+245, -0x1.192a759cc0000p+207, 0x1.6963c7eed2dd2p+170},  // 1e74
    {0x1.1afd6ec0e0000p+249, 0x1.4115d9f840000p+209, -0x1.e21a30abc35d0p+170},  // 1e75
    {0x1.61bcca7120000p+252, -0x1.9ba92be260000p+214, -0x1.a5aa0bcd6b434p+177}, // 1e76
    {0x1.ba2bfd0d60000p+255, -0x1.49bb6d8440000p+210, 0x1.d6e27e73d7d55p+171},  // 1e77
    {0x1.145b7e2860000p+259, -0x1.019c2a48e0000p+221, -0x1.52d9b270f7992p+183}, // 1e78
    {0x1.59725db280000p+262, -0x1.a1019a6d80000p+225, -0x1.e9e407c34d5fep+188}, // 1e79
    {0x1.afcef51f00000p+265, 0x1.f6bdfef700000p+228, 0x1.9ba2f64bdf483p+191},   // 1e80
    {0x1.0de1593360000p+269, 0x1.3a36bf5a60000p+232, 0x1.0145d9ef6b8d2p+195},   // 1e81
    {0x1.5159af8040000p+272, 0x1.1188de6200000p+234, 0x1.065d41ad19c1ap+196},   // 1e82
    {0x1.a5b01b6060000p+275, -0x1.550a7502c0000p+238, 0x1.47f4921860320p+199},  // 1e83
    {0x1.078e111c40000p+279, -0x1.55268921c0000p+242, 0x1.333e36d3cf07dp+205},  // 1e84
    {0x1.4971956340000p+282, 0x1.563f525780000p+243, -0x1.ffc8eddcf4d8fp+206},  // 1e85
    {0x1.9bcdfabc20000p+285, -0x1.950c3644a0000p+248, -0x1.9feeca550c83dp+211}, // 1e86
    {0x1.0160bcb580000p+289, 0x1.82d85e1520000p+252, -0x1.83f53e7527d26p+215},  // 1e87
    {0x1.41b8ebe2e0000p+292, 0x1.e38e759a60000p+255, -0x1.c9e51c24e38dfp+217},  // 1e88
    {0x1.922726dba0000p+295, 0x1.5c721300e0000p+258, 0x1.e1d0ce68f1c75p+221},   // 1e89
    {0x1.f6b0f092a0000p+298, -0x1.4c71683ee0000p+261, 0x1.5a4502032e392p+224},  // 1e90
    {0x1.3a2e965ba0000p+302, -0x1.3f1b849d20000p+263, 0x1.61ac8507f38edp+226},  // 1e91
    {0x1.88ba3bf280000p+305, 0x1.388ecd1de0000p+267, -0x1.a2f42cdb07c6cp+230},  // 1e92
    {0x1.eae8caef20000p+308, 0x1.86b2806540000p+270, 0x1.e89d8fdc6c8f2p+232},   // 1e93
    {0x1.32d17ed580000p+312, -0x1.05e837e060000p+275, 0x1.98b13cf4e1eccp+237},  // 1e94
    {0x1.7f85de8ae0000p+315, -0x1.476245d880000p+278, 0x1.ff6ec6190d33fp+241},  // 1e95
};

} // namespace detail

namespace {

bool es_field(const char* p, double& value) {
    return read_es_unsigned(p, value);
}

// The layout with an optional sign in front. False for any other text.
bool parse_es_layout(std::string_view s, double& value) {
    if (s.size() == 10)
        return es_field(s.data(), value);
    if (s.size() != 11 || (s[0] != '-' && s[0] != '+') || !es_field(s.data() + 1, value))
        return false;
    if (s[0] == '-')
        value = -value;
    return true;
}

// Strict parse of a real number: optional sign, digits with an optional point and
// fraction (at least one digit in all), optional exponent introduced by E, e, D or d.
// The text is checked here and converted by std::from_chars, which takes neither a leading
// '+' nor the exponent letter D; only a D exponent makes a copy (on the stack when short).
std::optional<double> parse_real(std::string_view s) {
    double fast = 0.0;
    if (parse_es_layout(s, fast))
        return fast;
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    std::size_t digits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        ++i;
        ++digits;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return std::nullopt;
    std::size_t exponent_at = std::string_view::npos;
    bool negative_exponent = false;
    if (i < s.size() && (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd')) {
        exponent_at = i++;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            negative_exponent = s[i++] == '-';
        std::size_t exp_digits = 0;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
            ++i;
            ++exp_digits;
        }
        if (exp_digits == 0)
            return std::nullopt;
    }
    if (i != s.size())
        return std::nullopt;

    if (s.front() == '+') {
        s.remove_prefix(1);
        if (exponent_at != std::string_view::npos)
            --exponent_at;
    }
    char small[64];
    std::string large;
    const char* first = s.data();
    if (exponent_at != std::string_view::npos && (s[exponent_at] == 'D' || s[exponent_at] == 'd')) {
        char* copy = small;
        if (s.size() > sizeof small) {
            large.assign(s);
            copy = large.data();
        } else {
            s.copy(small, s.size());
        }
        copy[exponent_at] = 'e';
        first = copy;
    }
    const char* last = first + s.size();
    double value = 0.0;
    auto [ptr, ec] = std::from_chars(first, last, value);
    if (ptr != last)
        return std::nullopt;
    if (ec == std::errc::result_out_of_range) {
        // Underflow (a negative exponent) reads as 0; overflow is not a number we can hold.
        if (!negative_exponent)
            return std::nullopt;
        return 0.0;
    }
    if (ec != std::errc())
        return std::nullopt;
    return value;
}

// A fixed-width field without its blanks: a view of the field itself when the blanks are
// only around the number (the usual case), else a copy into `buffer`.
std::string_view field_text(std::string_view field, std::string& buffer) {
    std::size_t b = 0, e = field.size();
    while (b < e && is_blank(field[b]))
        ++b;
    while (e > b && is_blank(field[e - 1]))
        --e;
    std::string_view inner = field.substr(b, e - b);
    if (inner.find_first_of(" \t") == std::string_view::npos)
        return inner;
    buffer.clear();
    for (char c : inner)
        if (!is_blank(c))
            buffer.push_back(c);
    return buffer;
}

std::string_view first_item(std::string_view text) {
    std::size_t b = 0;
    while (b < text.size() && is_blank(text[b]))
        ++b;
    std::size_t e = b;
    while (e < text.size() && !is_blank(text[e]) && text[e] != ',')
        ++e;
    return text.substr(b, e - b);
}

} // namespace

std::string format_i(std::int64_t value, int width) {
    return pad_left(std::to_string(value), width);
}

std::string format_i(std::int64_t value, int width, int min_digits) {
    std::string digits = value < 0 ? std::to_string(value).substr(1) : std::to_string(value);
    if (static_cast<int>(digits.size()) < min_digits)
        digits.insert(0, static_cast<std::size_t>(min_digits) - digits.size(), '0');
    if (value < 0)
        digits.insert(0, 1, '-');
    return pad_left(digits, width);
}

std::string format_f(double value, int width, int decimals) {
    if (!std::isfinite(value))
        return stars(width);
    char buf[512];
    int n = std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
    if (n < 0 || n >= static_cast<int>(sizeof buf))
        return stars(width);
    std::string text(buf, static_cast<std::size_t>(n));
    if (static_cast<int>(text.size()) > width) {
        // The leading 0 of a magnitude below one is optional.
        if (text.rfind("0.", 0) == 0)
            text.erase(0, 1);
        else if (text.rfind("-0.", 0) == 0)
            text.erase(1, 1);
    }
    return pad_left(text, width);
}

namespace {

// 10^k for k = -96..104, each the double nearest to it.
struct DecimalPowers {
    static constexpr int lowest = -96;
    double value[201];
    DecimalPowers() {
        for (int k = lowest; k < lowest + 201; ++k) {
            char text[16];
            std::snprintf(text, sizeof text, "1e%d", k);
            value[k - lowest] = std::strtod(text, nullptr);
        }
    }
};

const DecimalPowers& decimal_powers() {
    static const DecimalPowers powers;
    return powers;
}

// ES10.4 of a positive value whose five significant digits are certain without exact
// arithmetic: s = v 10^(4-e) is within about 1e-11 of its true value, so unless s lies within
// 1e-6 of a half (a possible tie, or a rounding the error could flip) its nearest whole number
// is the one the correctly rounded conversion gives. False (nothing written) otherwise, and
// for exponents that need three digits.
bool es10_4_direct(double v, char* out) {
    if (!(v >= 1e-100 && v < 1e100))
        return false;
    const auto bits = std::bit_cast<std::uint64_t>(v);
    const int binary = static_cast<int>((bits >> 52) & 0x7FF) - 1023;
    int e = (binary * 78913) >> 18; // about floor(binary log10(2))
    const DecimalPowers& p = decimal_powers();
    // v 10^(4 - exponent), or nothing when that power is outside the table.
    const auto scaled = [&](int exponent, double& result) {
        const int k = 4 - exponent - DecimalPowers::lowest;
        if (k < 0 || k >= static_cast<int>(std::size(p.value)))
            return false;
        result = v * p.value[k];
        return true;
    };
    double s = 0.0;
    if (!scaled(e, s))
        return false;
    if (s >= 100000.0) {
        ++e;
        if (!scaled(e, s))
            return false;
    } else if (s < 10000.0) {
        --e;
        if (!scaled(e, s))
            return false;
    }
    if (!(s >= 9999.0 && s < 100001.0))
        return false;
    // s is positive: truncation is the floor.
    int n = static_cast<int>(s);
    const double fraction = s - static_cast<double>(n);
    if (std::fabs(fraction - 0.5) < 1e-6)
        return false;
    n += fraction > 0.5 ? 1 : 0;
    if (n >= 100000) { // rounded up to the next power of ten
        n /= 10;
        ++e;
    } else if (n < 10000) {
        return false;
    }
    if (e < -99 || e > 99)
        return false;
    // "00" to "99", for two digits at a time.
    static constexpr char pairs[] = "00010203040506070809101112131415161718192021222324"
                                    "25262728293031323334353637383940414243444546474849"
                                    "50515253545556575859606162636465666768697071727374"
                                    "75767778798081828384858687888990919293949596979899";
    const auto two_digits = [](int value) { return pairs + 2 * static_cast<std::size_t>(value); };
    const int lower = n % 10000;
    out[0] = static_cast<char>('0' + n / 10000);
    out[1] = '.';
    std::memcpy(out + 2, two_digits(lower / 100), 2);
    std::memcpy(out + 4, two_digits(lower % 100), 2);
    out[6] = 'E';
    out[7] = e < 0 ? '-' : '+';
    std::memcpy(out + 8, two_digits(e < 0 ? -e : e), 2);
    return true;
}

} // namespace

void put_es10_4(double value, char* out) {
    if (value == 0.0 && !std::signbit(value)) {
        // A field of ten characters, no terminator.
        std::memcpy(out, "0.0000E+00", 10); // NOLINT(bugprone-not-null-terminated-result)
        return;
    }
    if (es10_4_direct(value, out))
        return;
    const std::string text = format_es(value, 10, 4);
    std::memcpy(out, text.data(), 10);
}

std::string format_es(double value, int width, int decimals) {
    if (!std::isfinite(value))
        return stars(width);
    char buf[64];
    if (width == 10 && decimals == 4 && es10_4_direct(value, buf))
        return std::string(buf, 10);
    int n = 0;
    if (decimals >= 0 && decimals <= 30) {
        // The same digits as printf's %.*E (correctly rounded), without its format parsing.
        auto [end, ec] =
            std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, decimals);
        if (ec != std::errc())
            return stars(width);
        n = static_cast<int>(end - buf);
        for (char* c = buf; c != end; ++c)
            if (*c == 'e')
                *c = 'E';
    } else {
        n = std::snprintf(buf, sizeof buf, "%.*E", decimals, value);
        if (n < 0 || n >= static_cast<int>(sizeof buf))
            return stars(width);
    }
    std::string text(buf, static_cast<std::size_t>(n));
    // The exponent has exactly two digits; one that needs three does not fit.
    std::size_t e = text.find('E');
    if (e == std::string::npos || text.size() - e != 4)
        return stars(width);
    return pad_left(text, width);
}

std::string format_bound(double value) {
    std::string text = format_f(value, 4, 2);
    if (text.find('*') == std::string::npos)
        return text;
    char buf[512];
    int n = std::snprintf(buf, sizeof buf, "%.2f", value);
    if (!std::isfinite(value) || n < 0 || n >= static_cast<int>(sizeof buf))
        return text;
    return std::string(buf, static_cast<std::size_t>(n));
}

std::string_view field_at(std::string_view line, std::size_t column, std::size_t width) {
    if (column >= line.size())
        return {};
    return line.substr(column, width);
}

bool read_es_layout(std::string_view text, double& value) {
    return parse_es_layout(text, value);
}

bool read_es_pair(const char* p, double& first, double& second) {
    return es_field(p, first) && es_field(p + 11, second);
}

std::optional<double> read_real_field(std::string_view field) {
    double fast = 0.0;
    if (parse_es_layout(field, fast))
        return fast;
    std::string buffer;
    std::string_view s = field_text(field, buffer);
    if (s.empty())
        return 0.0;
    return parse_real(s);
}

std::optional<std::int32_t> read_int_field(std::string_view field) {
    std::string buffer;
    std::string_view s = field_text(field, buffer);
    if (s.empty())
        return 0;
    auto v = parse_whole(s);
    if (!v || *v < std::numeric_limits<std::int32_t>::min() ||
        *v > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(*v);
}

ItemRead<std::int32_t> read_whole_item(std::string_view text) {
    std::string_view item = first_item(text);
    if (item.empty()) {
        // A text that starts with a comma has an empty first item: not a number.
        bool all_blank = text.find_first_not_of(" \t") == std::string_view::npos;
        return {all_blank ? ItemStatus::empty : ItemStatus::invalid, 0};
    }
    auto v = parse_whole(item);
    if (!v || *v < std::numeric_limits<std::int32_t>::min() ||
        *v > std::numeric_limits<std::int32_t>::max())
        return {ItemStatus::invalid, 0};
    return {ItemStatus::value, static_cast<std::int32_t>(*v)};
}

ItemRead<double> read_real_item(std::string_view text) {
    std::string_view item = first_item(text);
    if (item.empty()) {
        bool all_blank = text.find_first_not_of(" \t") == std::string_view::npos;
        return {all_blank ? ItemStatus::empty : ItemStatus::invalid, 0.0};
    }
    auto v = parse_real(item);
    if (!v)
        return {ItemStatus::invalid, 0.0};
    return {ItemStatus::value, *v};
}

std::string_view trim_right(std::string_view text) {
    std::size_t n = text.size();
    while (n > 0 && text[n - 1] == ' ')
        --n;
    return text.substr(0, n);
}

std::size_t trimmed_length(std::string_view text) {
    std::size_t n = trim_right(text).size();
    return n == 0 ? 1 : n;
}

std::string to_lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool equal_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

} // namespace sigmat::store
