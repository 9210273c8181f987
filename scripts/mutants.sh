#!/usr/bin/env bash
# Puts hand-written faults into the code one at a time and checks that the tests
# notice each: a small sed edit of one file, an incremental build of the suites
# that cover it, a run of those suites, then the file put back. Prints caught or
# SURVIVED per fault and the kill rate. Not part of CI: it rebuilds once per fault.
#
# Usage: scripts/mutants.sh [--list] [NAME...]   (all faults, or the named ones)
#        scripts/mutants.sh --check-stale          (no build: does each edit still apply? CI runs this)
# Needs the test build in ./build (configured as the README describes). Files are
# put back on exit, also after Ctrl-C; a file with uncommitted changes is refused.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

# Suites: the targets to build (with '?': where the build has it) and the ctest
# selection to run for each.
declare -A suiteTargets=(
    [dsp]="vrc_dsp_tests vrc_exp_check?"
    [processor]="vrc_processor_tests vrc_settings_tests vrc_settings_differential"
    [host]="vrc_host_tests"
    [state]="vrc_format_state_tests"
    [readers]="vrc_plugin_reader_tests"
    [keyformats]="vrc_format_tests VRC_VST3 VRC_LV2"
    [editor]="vrc_editor_tests"
    [lv2]="VRC_LV2 VRC_VST3 vrc_format_tests vrc_format_state_tests"
    [render]="vrc-render vrc_render_tests"
    [clap]="VRC_CLAP vrc_clap_tests"
    [clapeditor]="VRC_CLAP vrc_clap_editor_tests"
)
declare -A suiteTests=(
    [dsp]="-L dsp"
    [processor]="-L processor"
    [host]="-L host"
    [state]="-R ^(Vst3State|Lv2State|FormatStateFindings)\."
    [readers]="-R ^Vst3StateReader\."
    [keyformats]="-R ^(Vst3Sidechain|Lv2Sidechain)\."
    [editor]="-R ^EditorKeyLabel\."
    [lv2]="-R ^(Lv2Bundle|Lv2Ui|Lv2State|Lv2Session|Lv2Buffers|Lv2Bypass|EditorGestures)\."
    [render]="-L render"
    [clap]="-R ^Clap(Factory|Params|Process|State)\\."
    [clapeditor]="-R ^ClapEditor\\."
)

names=() files=() edits=() suites=() pending=()
# An edit may hold one expression per form the code has had (before and after a
# rewrite); whichever matches puts the fault in.

# fault NAME FILE SED-EXPRESSION SUITE...
fault() { names+=("$1"); files+=("$2"); edits+=("$3"); suites+=("${*:4}"); }
# elsewhere NAME REASON: a fault whose code and test live on another branch or are gone.
elsewhere() { pending+=("$1: $2"); }

# --- The engine ---------------------------------------------------------------
fault curves-never-rebuilt source/dsp/CompressorEngine.cpp \
    's/if (! derived || std::memcmp (&next.curve, &block.curve, sizeof next.curve) != 0)/if (! derived)/' dsp host
fault settings-derived-once source/dsp/CompressorEngine.cpp \
    's/if (! derived || std::memcmp (&s, &lastSnapshot, sizeof s) != 0)/if (! derived)/' dsp
fault makeup-unbounded source/dsp/CompressorEngine.cpp \
    's/b.makeup = within (dbToGain (s.makeupDb), 0.0f, maxMakeupGain, 1.0f);/b.makeup = dbToGain (s.makeupDb);/' dsp processor
fault linear-gain-unbounded source/dsp/TransferCurves.h \
    's/        return atMostOne >= 0.0f ? atMostOne : 0.0f;/        return g;/' dsp
fault attack-coefficient-unbounded source/dsp/CompressorEngine.cpp \
    's/b.attack = within (s.attackCoeff, 0.0f, 1.0f, 0.0f);/b.attack = s.attackCoeff;/' dsp
fault gain-buffer-offset-dropped source/dsp/CompressorEngine.cpp \
    's/std::memcpy (gainOut + offset, gain,/std::memcpy (gainOut, gain,/' dsp
fault non-finite-write-stored source/processor/ParameterMapper.h \
    's/if (! std::isfinite (v))/if (false)/' processor
fault current-gain-of-first-frame source/dsp/CompressorEngine.cpp \
    's/currentGain = gain\[n - 1\];/currentGain = gain[0];/' dsp
fault exp-rounding-fallback-dropped source/dsp/ExpKernel.h \
    's/return { static_cast<float> (e), near };/return { static_cast<float> (e), 0u };/' dsp
fault exp-range-guard-dropped source/dsp/ExpKernel.h \
    's/outside\[i\] = static_cast<int> (! (std::fabs (arg\[i\]) <= limit));/outside[i] = 0;/' dsp

# --- The key (sidechain) ------------------------------------------------------
fault key-ignored-by-detector source/dsp/CompressorEngine.cpp \
    's/mixToMono<0> (keyChannels.data(), numKeyChannels, offset, n, mono);/mixToMono<fixedChannels> (channels.data(), numChannels, offset, n, mono);/' dsp
fault key-shown-on-input-meter source/dsp/CompressorEngine.cpp \
    's/            meterValues (mono, n, meterIn);//' dsp
fault key-bus-not-followed source/processor/VeskCompAudioProcessor.cpp \
    's/    if (keyChannels > 0 /    if (false \&\& keyChannels > 0 /' keyformats
fault key-layout-unchecked source/processor/VeskCompAudioProcessor.cpp \
    's/! key.isDisabled() /false \&\& ! key.isDisabled() /' keyformats
fault lv2-key-ports-ignored source/plugin/lv2/Lv2Plugin.cpp \
    's/        bool keyed = variant.keyInputs > 0;/        bool keyed = false;/' keyformats
fault key-label-stays-lit source/processor/VeskCompAudioProcessor.cpp \
    's/listeningToKey.store (key.numChannels > 0, /listeningToKey.store (true, /' editor
fault render-key-not-padded tools/render/Render.cpp \
    's/                keyIn.clear (ch, k, n - k);//; s/            slot.key.clear (ch, slot.keyFrames, n - slot.keyFrames);//' render

# --- The processor core (the plug-in's processor and vrc-render run on it) -----
fault core-restore-leaves-engine-stale source/processor/ProcessorCore.cpp \
    '/^void ProcessorCore::restoreChunk/,/^}/ s/^    updateEngine ();$//; /^void ProcessorCore::restoreChunk/,/^}/ s/^    updateEngine();$//' processor render
fault core-host-write-not-sent source/processor/ProcessorCore.cpp \
    's/^    applySetting (engine, static_cast<ParameterId> (index), p->getValue());$//' processor
fault core-rate-while-running-ignored source/processor/ProcessorCore.cpp \
    's/        rate > 0.0f \&\& rate != engine.getSampleRate())/        false)/' host

fault vst2-edit-gestures-passed-on source/plugin/vst2/VstHostLayer.cpp \
    's/        case audioMasterBeginEdit: /        case -43: /; s/        case audioMasterEndEdit:/        case -44:/' host

# --- The parameter table: what sessions, hosts and scripts hold ---------------
fault chunk-attribute-respelled source/processor/Parameters.h \
    's/"Threshold", "threshold", "thresold", "--threshold",/"Threshold", "threshold", "threshold", "--threshold",/' processor
fault host-name-respelled source/processor/Parameters.h \
    's/{ ParameterId::curve, "Transfert Curve",/{ ParameterId::curve, "Transfer Curve",/' processor
fault second-copy-of-a-frozen-name tools/render/Options.cpp \
    's/            if (value == curveLabels\[0\] || value == "0")/            if (value == "linear" || value == "0")/' processor

# --- The settings reader ------------------------------------------------------
fault cr-not-space source/processor/SettingsXmlReader.cpp \
    "s/return c == ' ' || (c >= 9 \&\& c <= 13);/return c == ' ' || (c >= 9 \&\& c <= 12);/" processor
fault hex-reference-nine-digits source/processor/SettingsXmlReader.cpp \
    's/if (h < 0 || ++digits > 8)/if (h < 0 || ++digits > 9)/' processor
fault decimal-reference-without-nine source/processor/SettingsXmlReader.cpp \
    "s/else if (in.at() >= '0' \&\& in.at() <= '9')/else if (in.at() >= '0' \&\& in.at() < '9')/" processor
fault single-quotes-refused source/processor/SettingsXmlReader.cpp \
    "s/if (quote != '\"' \&\& quote != '\\\\'')/if (quote != '\"')/" processor
fault forgiven-error-keeps-earlier source/processor/SettingsXmlReader.cpp \
    's/void setError (bool carryOn) noexcept { errorOccurred = ! carryOn; }/void setError (bool carryOn) noexcept { errorOccurred = errorOccurred || ! carryOn; }/' processor
fault malformed-child-ends-everything source/processor/SettingsXmlReader.cpp \
    's/case Head::none: --depth; break;/case Head::none: depth = 0; break;/' processor

# --- VST3 state ---------------------------------------------------------------
fault compressed-int-of-four-bytes source/plugin/vst3/Vst3StateReader.cpp \
    's/if (count > 4)/if (count > 3)/' state
fault double-at-block-end source/plugin/vst3/Vst3StateReader.cpp \
    's/if (size - at < 8)/if (size - at <= 8)/' state
fault negative-count-read-positive source/plugin/vst3/Vst3StateReader.cpp \
    's/return (\*head \& 0x80) != 0 ? -static_cast<std::int64_t> (value) : static_cast<std::int64_t> (value);/return static_cast<std::int64_t> (value);/' state
fault state-limit-exclusive source/plugin/vst3/Vst3StateReader.cpp \
    's/if (bytes.size() + static_cast<std::size_t> (got) > maxStateBytes)/if (bytes.size() + static_cast<std::size_t> (got) >= maxStateBytes)/' state
fault private-size-fit-dropped source/plugin/vst3/Vst3StateReader.cpp \
    's/ || privateSize > size - trailerBytes - leadingZeroBytes)/)/' state
fault leading-zeros-guard-dropped source/plugin/vst3/Vst3StateReader.cpp \
    's/if (size - trailerBytes < leadingZeroBytes || privateSize/if (privateSize/' readers

# --- LV2 ------------------------------------------------------------------------
fault lv2-count-with-digit-9 source/plugin/lv2/Lv2StateText.cpp \
    "s/text\[at\] <= '9'/text[at] <= '8'/" lv2
fault lv2-base64-gap-character source/plugin/lv2/Lv2StateText.cpp \
    's/values\[c\] = c >= 43 \&\& c < 43 + 80 ? 0 : -1;/values[c] = -1;/' lv2
fault lv2-refusal-reported-as-success source/plugin/lv2/Lv2Plugin.cpp \
    '/if (! bytes.has_value())/{n;s/return LV2_STATE_ERR_UNKNOWN;/return LV2_STATE_SUCCESS;/}' lv2
fault lv2-other-atom-type-read-as-text source/plugin/lv2/Lv2Plugin.cpp \
    's/if (type != stringType)/if ((false))/' lv2
fault lv2-port-not-clamped source/processor/ParameterDisplay.h \
    's/    value = value < lowest ? lowest : (value > highest ? highest : value);//' lv2 clap
fault lv2-ports-override-restored-chunk source/plugin/lv2/Lv2Plugin.cpp \
    's/            if (restore != Restore::adoptPorts)/            if ((true))/' lv2
fault lv2-later-port-changes-ignored source/plugin/lv2/Lv2Plugin.cpp \
    's/sameBits (value, seen\[i\].load (std::memory_order_relaxed))/seen[i].load () == seen[i].load ()/' lv2
fault lv2-saves-what-last-ran source/plugin/lv2/Lv2Plugin.cpp \
    's/if (port == nullptr || portsAdopted)/if ((true))/' lv2
fault lv2-chunk-wins-over-new-sessions-ports source/plugin/lv2/Lv2Plugin.cpp \
    's/pendingRestore.store (portsHoldSettings (retrieve, handle) ?/pendingRestore.store (false ?/' lv2
fault lv2-key-read-after-output-written source/plugin/lv2/Lv2Plugin.cpp \
    's/key\[(size_t) c\] = keyCopies\[(size_t) c\].data();/key[(size_t) c] = keys[(size_t) c] + offset;/' lv2
fault lv2-input-read-after-other-output-written source/plugin/lv2/Lv2Plugin.cpp \
    's/in\[(size_t) c\] = inputCopies\[(size_t) c\].data();//' lv2
fault lv2-enabled-port-ignored source/plugin/lv2/Lv2Plugin.cpp \
    's/(enabled != nullptr \&\& readPort (enabled) <= 0.0f)/(false)/' lv2
fault lv2-ui-knob-not-written source/plugin/lv2/Lv2Ui.cpp \
    's/        write (controller, port, sizeof value, 0, \&value);//' lv2
fault lv2-ui-no-touch source/plugin/lv2/Lv2Ui.cpp \
    's/            touch->touch (touch->handle, static_cast<std::uint32_t> (index), grabbed);/            {}/' lv2
fault editor-drag-not-a-gesture source/editor/VeskCompAudioProcessorEditor.cpp \
    '/void VeskCompAudioProcessorEditor::sliderDragStarted/,/^}/s/        gesture (index, true);/        {}/' lv2
fault editor-switch-click-not-a-gesture source/editor/VeskCompAudioProcessorEditor.cpp \
    '/void VeskCompAudioProcessorEditor::buttonClicked/,/^}/s/        gesture (index, true);//' lv2

# --- CLAP ----------------------------------------------------------------------
fault clap-events-at-block-start source/plugin/clap/ClapInstance.cpp \
    's/const auto at = std::min (event->time, frames);/const auto at = 0u * std::min (event->time, frames);/' clap
fault clap-key-ignored source/plugin/clap/ClapInstance.cpp \
    's/        keys = p.audioInputs\[1\].data32;/        keys = nullptr;/' clap
fault clap-non-finite-value-set source/plugin/clap/ClapInstance.cpp \
    's/|| ! std::isfinite (e.value))/|| false)/' clap
fault clap-short-read-taken-as-end source/plugin/clap/ClapStateStream.cpp \
    's/        if (got == 0)/        if (static_cast<std::uint64_t> (got) < room)/' clap
fault clap-stream-count-unchecked source/plugin/clap/ClapStateStream.cpp \
    's/if (got < 0 || static_cast<std::uint64_t> (got) > room)/if (got < 0)/' clap
fault clap-editor-echo-reported source/plugin/clap/ClapInstance.cpp \
    's/    if (normalised == offset \/ span)/    if (normalised == offset \/ span \&\& false)/' clapeditor
fault clap-host-loop-not-driven source/plugin/clap/ClapEditor.cpp \
    's/        (\*parts->hostLoop)->processPendingEvents();/        juce::ignoreUnused (parts);/' clapeditor
fault clap-text-without-display-scale source/plugin/clap/ClapParameters.cpp \
    's/const auto physical = static_cast<float> (value \/ static_cast<double> (p->displayScale));/const auto physical = static_cast<float> (value);/' clap

# --- VST2 audio path -----------------------------------------------------------
fault crossed-buffers-not-untangled source/plugin/vst2/VstAudioPath.cpp \
    's/if (layer->untangleStereoBuffers (inputs, outputs, numSamples, movedInputs))/if ((false))/' host
fault one-sided-crossing-wrong-order source/plugin/vst2/VstAudioPath.cpp \
    's/const int first = leftOverRight ? 1 : 0;/const int first = leftOverRight ? 0 : 1;/' host
fault rate-while-resumed-kept-for-next-resume source/plugin/vst2/VstHostLayer.cpp \
    's/            if (resumed)$/            if ((false))/' host
fault x11-property-with-missing-atom cmake/juce-patches/x11/bare-x-server.patch \
    's/^+    if (property == None || type == None)\r$/+    if ((false))\r/' host

# --- Elsewhere ----------------------------------------------------------------
# --- vrc-render's input and output (libsndfile and the checks on top of it) ---
fault render-id3-after-flac tools/render/StreamCheck.cpp \
    's/state.fault->frame >= statedFrames/false/' render
fault render-rate-above-1MHz tools/render/AudioInput.cpp \
    's/ || rate > highestSampleRate//' render
fault render-ogg-chain-unseen tools/render/StreamCheck.cpp \
    's/if (beginsStream \&\& (dataSeen || firstEnded) \&\& serial != \*firstSerial)/if (false)/; s/if (beginsStream \&\& (dataSeen || firstEnded))$/if (false)/' render
fault render-ogg-checksum-unchecked tools/render/StreamCheck.cpp \
    's/if (oggCrc (page.data(), size) != crc)/if (false)/; s/const bool intact = oggCrc (page, size) == le32 (stored.data());/const bool intact = true;/' render
fault render-non-finite-uncounted tools/render/AudioInput.cpp \
    's/++nonFinite;/;/' render
fault render-header-shortfall-unsaid tools/render/AudioInput.cpp \
    's/stated <= present)/true)/; s/|| stated <= present$/|| true/' render
fault render-integer-output-wraps tools/render/AudioOutput.cpp \
    's/sf_command (file, SFC_SET_CLIPPING, nullptr, SF_TRUE);//; s/x = _mm_max_ps (_mm_min_ps (x, _mm_set1_ps (scale - 1.0f)), _mm_set1_ps (-scale));//' render
fault render-float-wav-sox-warns tools/render/AudioOutput.cpp \
    's/if (ok \&\& floatWav)/if (false)/' render
fault render-output-name-checked-late tools/render/Options.cpp \
    's/    return checkOutput (o.output == "-"/    return {}; (o.output == "-"/' render
fault render-pipe-damage-read-past tools/render/AudioInput.cpp \
    's/    if (pipe != nullptr)$/    if (false)/' render
fault render-pipe-length-unsaid tools/render/AudioInput.cpp \
    's/        pipeStated = sf.frames;/        pipeStated = -1;/' render
fault render-ogg-damage-read-past tools/render/AudioInput.cpp \
    's/            readLimit = framesAt (fault->frame);/            readLimit = -1;/' render
fault render-opus-pre-skip-counted tools/render/StreamCheck.cpp \
    's/return check.opus ? (granule > preSkip ? granule - preSkip : 0) : granule;/return granule;/' render
fault render-flac-zero-frames tools/render/AudioInput.cpp \
    's/            readLimit = (std::int64_t) fault->frame;/            readLimit = -1;/' render
fault render-flac-md5-unchecked tools/render/StreamCheck.cpp \
    's/FLAC__stream_decoder_set_md5_checking (state.decoder, true);//' render
fault render-au-length-unsaid tools/render/AudioInput.cpp \
    's/ || name == "Data Size";/;/' render
fault render-rf64-length-unsaid tools/render/AudioInput.cpp \
    's/            \&\& inChunk > counted)/            \&\& false)/' render
fault render-mp3-estimate-alarm tools/render/AudioInput.cpp \
    's/const std::int64_t stated = lengthIsEstimate ? -1 :/const std::int64_t stated =/' render
fault render-mp3-tag-ignored tools/render/AudioInput.cpp \
    's/! (seekable \&\& mp3StatesLength (fd));/true;/' render
fault render-all-ones-alarm tools/render/AudioInput.cpp \
    's/            || stated == 0xffffffffull)/            )/' render
fault render-unsized-wav-refused tools/render/AudioInput.cpp \
    's/\&\& recoverUnsizedWav (fd))/\&\& false)/' render
fault render-output-floored tools/render/AudioOutput.cpp \
    's/    integerBits = format.isFloat ? 0 : format.bitsPerSample;/    integerBits = 0;/' render
fault render-special-file-replaced tools/render/AtomicFile.cpp \
    's/        return refusalFor (target, info);/        return {};/; s/    if (replacing \&\& ! S_ISREG (existing.st_mode))/    if (false)/' render
fault render-owner-changed tools/render/AtomicFile.cpp \
    's/            \&\& ::chown (tempPath.toRawUTF8(), existing.st_uid, existing.st_gid) != 0)/            \&\& false)/' render
fault render-summary-loss-ignored tools/render/main.cpp \
    's/    if (! (std::cout << std::flush))/    if (false)/' render
fault render-signal-waits tools/render/main.cpp \
    's/    std::signal (SIGTERM, stopNow);/    std::signal (SIGTERM, [] (int) {});/' render
fault render-decoder-chatter tools/render/main.cpp \
    's/    LibraryMessages libraryMessages (! options.quiet);//' render
fault render-help-without-the-switch tools/render/Options.cpp \
    '/^std::string controlHelp/,/^}/s/        text += line + p.summary/        if (! p.enumeration) text += line + p.summary/' render
fault render-help-range-in-physical-units tools/render/Settings.cpp \
    's/formatNumber (toUser (p, p.lowest())) + " .. " + formatNumber (toUser (p, p.highest()))/formatNumber (p.lowest()) + " .. " + formatNumber (p.highest())/' render
elsewhere render-format-chunk-last "libsndfile refuses a format chunk after the audio (exit 1, its message); nothing of ours to break"
elsewhere render-odd-chunk-pad-byte "read by libsndfile; the corpus row OddChunkPadByte guards it"
elsewhere render-aiff-frame-count-unwritten "read by libsndfile from the sound chunk's size; the corpus row AiffFrameCountNeverWritten guards it"

# --check-stale: text only, no build. Every fault's edit must still change its
# file (exactly as a run would apply it), and every suite it names must exist;
# otherwise the code moved away from the fault and the fault tests nothing.
if [ "${1:-}" = "--check-stale" ]; then
    bad=0
    for i in "${!names[@]}"; do
        for suite in ${suites[$i]}; do
            [ -n "${suiteTests[$suite]:-}" ] || { echo "mutants.sh: ${names[$i]}: no suite '$suite'" >&2; bad=1; }
        done
        if [ ! -f "${files[$i]}" ]; then
            echo "mutants.sh: ${names[$i]}: no file ${files[$i]}" >&2; bad=1
        elif sed -e "${edits[$i]}" "${files[$i]}" | cmp -s - "${files[$i]}"; then
            echo "mutants.sh: ${names[$i]}: the edit no longer matches ${files[$i]}" >&2; bad=1
        fi
    done
    [ "$bad" = 0 ] && echo "mutants.sh: all ${#names[@]} faults still apply to their code"
    exit "$bad"
fi

if [ "${1:-}" = "--list" ]; then
    for i in "${!names[@]}"; do printf '%-34s %-46s [%s]\n' "${names[$i]}" "${files[$i]}" "${suites[$i]}"; done
    for p in "${pending[@]}"; do echo "elsewhere  $p"; done
    exit 0
fi
[ -f build/build.ninja ] || { echo "mutants.sh: configure ./build with tests first" >&2; exit 2; }

selected=()
for i in "${!names[@]}"; do
    if [ $# -eq 0 ]; then selected+=("$i"); continue; fi
    for want in "$@"; do [ "$want" = "${names[$i]}" ] && selected+=("$i"); done
done
[ ${#selected[@]} -gt 0 ] || { echo "mutants.sh: no fault by that name (see --list)" >&2; exit 2; }

scratch=$(mktemp -d)
current=""
restore() {
    # A plain copy gives the file a new time stamp, so the next build recompiles it.
    if [ -n "$current" ]; then cat "$scratch/original" > "$current"; current=""; fi
}
trap 'restore; rm -rf "$scratch"' EXIT
trap 'exit 130' INT TERM

buildSuites() { # SUITE... : builds their targets
    local suite target targets=""
    for suite in "$@"; do
        for target in ${suiteTargets[$suite]}; do
            if [ "${target%\?}" != "$target" ]; then
                target=${target%\?}
                ninja -C build -t query "$target" > /dev/null 2>&1 || continue
            fi
            targets+=" $target"
        done
    done
    # shellcheck disable=SC2086
    nice -n 5 cmake --build build --target $targets -j"$(vrc_jobs)" > "$scratch/build.log" 2>&1
}

runSuites() { # SUITE... : builds and runs them; returns non-zero when a test fails
    local suite status=0
    buildSuites "$@" || return 3
    for suite in "$@"; do
        # shellcheck disable=SC2086
        vrc_xvfb ctest --test-dir build ${suiteTests[$suite]} --timeout 300 > "$scratch/test.log" 2>&1 || status=1
        [ $status -eq 0 ] || break
    done
    return $status
}

# Only committed files are edited, so putting one back can lose nothing.
for i in "${selected[@]}"; do
    if ! git diff --quiet HEAD -- "${files[$i]}"; then
        echo "mutants.sh: ${files[$i]} has uncommitted changes; commit or stash them first" >&2
        exit 2
    fi
done

# Every suite must pass unchanged, or every fault would look caught.
declare -A baselineDone=()
for i in "${selected[@]}"; do
    for suite in ${suites[$i]}; do
        [ -n "${baselineDone[$suite]:-}" ] && continue
        baselineDone[$suite]=1
        if ! runSuites "$suite"; then
            echo "mutants.sh: suite '$suite' fails without any fault:" >&2
            tail -n 30 "$scratch/build.log" "$scratch/test.log" >&2
            exit 1
        fi
    done
done

caught=0 survived=0 stale=0
for i in "${selected[@]}"; do
    file=${files[$i]}
    cp "$file" "$scratch/original"
    current=$file
    sed -e "${edits[$i]}" "$scratch/original" > "$file"
    if cmp -s "$file" "$scratch/original"; then
        restore
        printf '%-34s STALE (the edit no longer matches %s)\n' "${names[$i]}" "$file"
        stale=$((stale + 1))
        continue
    fi
    status=0
    # shellcheck disable=SC2086
    runSuites ${suites[$i]} || status=$?
    case $status in
        0) printf '%-34s SURVIVED\n' "${names[$i]}"; survived=$((survived + 1)) ;;
        3) printf '%-34s INVALID (does not build)\n' "${names[$i]}"; stale=$((stale + 1)) ;;
        *) printf '%-34s caught  %s\n' "${names[$i]}" \
               "$(grep -m1 -E '\((Failed|Timeout|SEGFAULT|Subprocess aborted|Exception)' "$scratch/test.log" | sed 's/^ *//')"
           caught=$((caught + 1)) ;;
    esac
    restore
done

# Leave the build as the sources are.
buildSuites "${!baselineDone[@]}" || echo "mutants.sh: the final rebuild failed" >&2

total=$((caught + survived))
echo "----"
echo "caught $caught of $total ($(( total > 0 ? 100 * caught / total : 0 )) %); stale or not building $stale; elsewhere ${#pending[@]}:"
for p in "${pending[@]}"; do echo "  $p"; done
