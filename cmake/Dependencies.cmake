# Third-party libraries, all from Debian 12 packages (tools/install-deps.sh).
find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets Sql Network SerialPort Test)
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)

pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET
  libavformat libavdevice libavcodec libavfilter libavutil libswscale)
pkg_check_modules(GLOG REQUIRED IMPORTED_TARGET libglog)
pkg_check_modules(CJSON REQUIRED IMPORTED_TARGET libcjson)
pkg_check_modules(XLSXWRITER REQUIRED IMPORTED_TARGET xlsxwriter)

# OpenCV: only the modules we use are installed, so locate them one by one
# instead of through the umbrella package's config file.
find_path(OPENCV_INCLUDE_DIR opencv2/core.hpp PATH_SUFFIXES opencv4 REQUIRED)
add_library(mm_opencv INTERFACE)
target_include_directories(mm_opencv SYSTEM INTERFACE ${OPENCV_INCLUDE_DIR})
foreach(m core imgproc imgcodecs calib3d features2d flann)
  find_library(OPENCV_${m}_LIB opencv_${m} REQUIRED)
  target_link_libraries(mm_opencv INTERFACE ${OPENCV_${m}_LIB})
endforeach()
add_library(mm::opencv ALIAS mm_opencv)

if(MM_BUILD_TESTS)
  find_package(GTest REQUIRED)
endif()
if(MM_BUILD_BENCHMARKS)
  find_package(benchmark QUIET)
  if(NOT benchmark_FOUND)
    set(MM_BUILD_BENCHMARKS OFF)
  endif()
endif()
