# Sourced by the benchmark scripts: make_wma_parts <folder> <seconds> makes the two Windows
# Media parts they decode, stereo44.wma (44.1 kHz stereo, 128 kbps: a tone on the left and
# noise on the right, so that neither channel is silence) and mono22.wma (22.05 kHz mono,
# 32 kbps, a tone).
make_wma_parts() {
  local folder="$1" seconds="$2"
  ffmpeg -nostdin -v error -y -filter_complex \
    "sine=frequency=440:sample_rate=44100:duration=$seconds[a];anoisesrc=duration=$seconds:amplitude=0.2:sample_rate=44100[b];[a][b]amerge=inputs=2" \
    -c:a wmav2 -b:a 128k "$folder/stereo44.wma"
  ffmpeg -nostdin -v error -y -f lavfi -i "sine=frequency=300:sample_rate=22050:duration=$seconds" \
    -c:a wmav2 -b:a 32k "$folder/mono22.wma"
}
