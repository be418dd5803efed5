#pragma once
// The camera set behind openCamera/closeCamera: four cameras at positions 2
// to 5 of the platform's list, each with one image reader, one capture
// session and one repeating preview request.
#include <camera/NdkCameraDevice.h>
#include <camera/NdkCameraManager.h>
#include <media/NdkImageReader.h>

#include <cstdint>

struct CameraSlot {
  ACameraDevice* device = nullptr;
  AImageReader* reader = nullptr;
  ANativeWindow* readerWindow = nullptr;  // one reference of our own, open to close
  ACaptureSessionOutput* sessionOutput = nullptr;
  ACaptureSessionOutputContainer* outputContainer = nullptr;
  ACameraCaptureSession* session = nullptr;
  ACaptureRequest* request = nullptr;
  ACameraOutputTarget* outputTarget = nullptr;
};

struct CameraTable {
  ACameraManager* manager = nullptr;
  ACameraIdList* idList = nullptr;
  CameraSlot slots[4];
};

// Written only by OpenCameraSet/CloseCameraSet, which serialise each other.
extern CameraTable cameraTable;

// Slot k opens the camera at this position of the platform's list.
constexpr int32_t kFirstCameraPosition = 2;

// openCamera and closeCamera without the Java layer.
void OpenCameraSet(int32_t width, int32_t height);
void CloseCameraSet();

// Callback records bound to every camera (camera_callbacks.cpp).
extern ACameraDevice_StateCallbacks deviceCallbacks;
extern ACameraCaptureSession_stateCallbacks sessionCallbacks;
extern ACameraCaptureSession_captureCallbacks captureCallbacks;
