// Preloaded into particleplayer by the video tests, this stands in for libavcodec's encoder
// look-up and finds none, as on a system whose FFmpeg was built without them.
extern "C" const void* avcodec_find_encoder_by_name(const char*) {
    return nullptr;
}
