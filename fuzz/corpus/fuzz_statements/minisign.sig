untrusted comment: verify with vantiro-cli pubkey --format minisign
RUQPiZ8YwlhVHy/n7GxfRLRJ23xdpo91Fidhk6mUfheaQbsG7fHiJfaCtJjwhqVnT9u+QhgQY+F67iWCmmOCfDcuLFGP+DX9/AE=
trusted comment: timestamp:1796868834	file:m	vantiro root 7659cf520d24e024
h6l3+rnn/hz48sA2lrcZQVeOz/5C/wYmzjFDcst7gXbYuIxZUqax88mjl6IPbPVKVA0/qCQZtrpABBfw2wyHCQ==
