#include "tests/avm/car_view_fixture.h"

cv::Mat Flat(int width, int height, int b, int g, int r, int a) {
  return cv::Mat(height, width, CV_8UC4, cv::Scalar(b, g, r, a));
}
