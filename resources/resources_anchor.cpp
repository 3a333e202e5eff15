// The resource library's only source: the images are added by the build (see CMakeLists.txt).
namespace cantova {
int resourcesAnchor = 0;
}
