# The loopback test server (common/tests/http_server.py) for the scripts that need one.
# Source it after setting `root` to the checkout.

# http_server_start FOLDER [server options...]: starts the server in the background with its
# port file and request log in FOLDER, waits until it listens, and sets `port` and
# `server_pid`. The caller stops it (kill "$server_pid").
http_server_start() {
  local folder="$1"
  shift
  rm -f "$folder/port"
  python3 "$root/common/tests/http_server.py" --port-file "$folder/port" --log "$folder/requests.log" \
    "$@" </dev/null >/dev/null 2>&1 &
  for _ in $(seq 100); do [ -s "$folder/port" ] && break; sleep 0.1; done
  read -r port server_pid <"$folder/port"
}
