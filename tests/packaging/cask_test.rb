# The filled cask read through a stand-in for Homebrew's cask language: each
# stanza a release depends on must carry what the build says, so a renamed
# bundle, disk image or deployment target cannot leave the cask behind.
#
#   ruby cask_test.rb CASK VERSION SHA256 REPOSITORY BUNDLE_ID DISK_IMAGE DEPLOYMENT_TARGET
cask_file, version, sha256, repository, bundle_id, disk_image, deployment_target = ARGV

# Records every stanza with its arguments; `version` without one reads it back.
class CaskStanzas
  attr_reader :seen

  def initialize
    @seen = Hash.new { |stanzas, name| stanzas[name] = [] }
  end

  def version(*value)
    return @seen[:version].first&.first if value.empty?

    @seen[:version] << value
  end

  def method_missing(name, *arguments, **options)
    @seen[name] << (options.empty? ? arguments : arguments + [options])
  end

  def respond_to_missing?(*) = true
end

def cask(token, &stanzas)
  reader = CaskStanzas.new
  reader.instance_eval(&stanzas)
  [token, reader.seen]
end

token, seen = eval(File.read(cask_file), binding, cask_file)
macos_names = { "13" => "ventura", "14" => "sonoma", "15" => "sequoia" }
Row = Struct.new(:name, :stanza, :expected, keyword_init: true)
rows = [
  Row.new(name: "the token", stanza: :token, expected: "velmoryn"),
  Row.new(name: "the version", stanza: :version, expected: [[version]]),
  Row.new(name: "the disk image's checksum", stanza: :sha256, expected: [[sha256]]),
  Row.new(name: "the published disk image", stanza: :url,
          expected: [["https://github.com/#{repository}/releases/download/v#{version}/#{disk_image}.dmg"]]),
  Row.new(name: "the oldest macOS", stanza: :depends_on,
          expected: [[{ macos: ">= :#{macos_names[deployment_target.split(".").first]}" }]]),
  Row.new(name: "the app", stanza: :app, expected: [["Velmoryn.app"]]),
  Row.new(name: "the quit that restores the Dock", stanza: :uninstall,
          expected: [[{ quit: bundle_id }]]),
  Row.new(name: "the program's own files", stanza: :zap,
          expected: [[{ trash: ["~/Library/Application Support/Velmoryn",
                                "~/Library/Preferences/#{bundle_id}.plist"] }]]),
]
failures = rows.reject do |row|
  (row.stanza == :token ? token : seen[row.stanza]) == row.expected
end
failures.each do |row|
  warn "#{row.name}: expected #{row.expected.inspect}, got #{seen[row.stanza].inspect}"
end
puts "#{rows.size - failures.size} passed, #{failures.size} failed"
exit(failures.empty? ? 0 : 1)
