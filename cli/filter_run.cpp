#include "cli/filter_run.h"

namespace {

class HookChecks : public RenderChecks {
public:
    explicit HookChecks(const FilterRunHooks& hooks) : hooks_(hooks) {}
    bool StopRequested() override { return false; }
    bool Aborted() override { return hooks_.cancelled && hooks_.cancelled(); }
    void Progress(int32_t done, int32_t total) override {
        if (hooks_.progress) hooks_.progress(done, total);
    }

private:
    const FilterRunHooks& hooks_;
};

}  // namespace

ImageReport ApplyFilter(const FilterParameters& parameters, const RenderOptions& options, ImageFile* image,
                        const FilterRunHooks& hooks) {
    HookChecks checks(hooks);
    ImageRequest request;
    request.parameters = parameters;
    request.options = options;
    request.checks = &checks;
    request.reportProgress = true;
    request.outputOnlyOnSuccess = false;
    const ImageView view = PackedView(image->pixels.Data(), image->depth == 16 ? SampleFormat::U16 : SampleFormat::U8,
                                      image->width, image->height, image->channels);
    return FilterImage(request, view, view);
}
