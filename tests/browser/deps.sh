# Sourced by run.sh and the screenshot script from this folder: installs the
# pinned npm packages when node_modules is missing or was installed from
# another lock file. playwright-core never downloads a browser.
export PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1
if ! cmp -s package-lock.json node_modules/.installed-lock.json 2>/dev/null; then
  npm ci --no-audit --no-fund --loglevel=error
  cp package-lock.json node_modules/.installed-lock.json
fi
